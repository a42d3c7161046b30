#include "core/fields.h"
#include "core/rows.h"

#include <QHash>
#include <QSet>
#include <array>
#include <type_traits>

namespace fields {
namespace {

using namespace bulk;

// ---- typed access ---------------------------------------------------------------------------

template <class G> G* groupIn(std::optional<G>& g, bool make)
{
    if (!g && make)
        g.emplace();
    return g ? &*g : nullptr;
}

// The member M of the group Group ("gprs.apn": &Params::gprs, &Gprs::apn).
template <auto Group, auto M> constexpr auto at = +[](Params& p, bool make) {
    auto* g = groupIn(p.*Group, make);
    return g ? &(g->*M) : nullptr;
};

template <size_t I> std::optional<QString>* telephone(Params& p, bool make)
{
    auto* t = groupIn(p.telephones, make);
    return t ? &t->number[I] : nullptr;
}
template <size_t... I> constexpr auto telephoneMembers(std::index_sequence<I...>)
{
    return std::array{&telephone<I>...};
}

template <size_t N, auto M> auto fenceMember(Params& p, bool make)
    -> std::remove_reference_t<decltype(std::declval<Fence&>().*M)>*
{
    auto* f = groupIn(p.fences, make);
    return f ? &(f->fence[N].*M) : nullptr;
}
template <auto M, size_t... N> constexpr auto fenceMembers(std::index_sequence<N...>)
{
    return std::array{&fenceMember<N, M>...};
}

// ---- the members each group has --------------------------------------------------------------

// Counts the members of an aggregate by how many initializers it takes: a member added to the
// parameters without its entry below is found by problems(), not lost by the field walk.
struct AnyMember {
    template <class T> operator std::optional<T>() const;
    template <class T, size_t N> operator std::array<T, N>() const;
};
template <class T, class... A> constexpr int members()
{
    if constexpr (requires { T{A{}..., AnyMember{}}; })
        return members<T, A..., AnyMember>();
    else
        return int(sizeof...(A));
}

constexpr int kNumbers = int(std::tuple_size_v<decltype(Telephones::number)>);
constexpr int kFences = int(std::tuple_size_v<decltype(Fences::fence)>);
static_assert(members<Telephones>() == 1 && members<Fences>() == 1,
              "a group that is an array of fields: give its new member entries and a count below");

struct GroupSize {
    const char* prefix;
    int fields;
};
constexpr GroupSize kGroups[] = {
    {"gprs.", members<Gprs>()},
    {"telephones.", kNumbers},
    {"fences.", kFences * members<Fence>()},
    {"other.", members<OtherSettings>()},
    {"port.", members<PortFunctions>()},
    {"special.", members<SpecialFunctions>()},
    {"identity.", members<Identity>()},
};
static_assert(members<Params>() == int(std::size(kGroups)), "a new group of the parameters needs its key prefix here");

// ---- forms ----------------------------------------------------------------------------------

// A free text: any printable ASCII but its separators, up to a length.
Form freeText(const char* shape, int maxLength, const char* separators)
{
    return Form{QString(), QLatin1String(shape), maxLength, QString(), QLatin1String(separators), -1, QString()};
}

// A text of a fixed shape, perhaps a number with a bound.
Form shaped(const char* shape, int maxLength, const char* pattern, int maxValue = -1, const char* range = "")
{
    return Form{QString(), QLatin1String(shape), maxLength, QLatin1String(pattern), QString(), maxValue,
                QLatin1String(range)};
}

// ... whose empty box the row sends as a value the tracker then holds.
Form emptyHolds(Form form, const char* held)
{
    form.emptyHeld = QLatin1String(held);
    return form;
}

constexpr char kDigits3[] = "[0-9]{3}";
constexpr char kPort[] = "[0-9]{0,5}";

// ---- the table ------------------------------------------------------------------------------

std::vector<Field> makeTable()
{
    using D = Dump;
    std::vector<Field> t = {
        // GPRS-SET
        {"gprs.apn", at<&Params::gprs, &Gprs::apn>, {"Text1"}, "APN", "APN", "Label1", D::Texts,
         freeText("up to 100 characters", 100, ",;:")},
        {"gprs.apnUser", at<&Params::gprs, &Gprs::apnUser>, {"Text19"}, "Name", "Name", "Label27", D::Texts,
         freeText("up to 64 characters", 64, ",;:")},
        {"gprs.apnPassword", at<&Params::gprs, &Gprs::apnPassword>, {"Text20"}, "PSW", "PSW", "Label28", D::Texts,
         freeText("up to 64 characters", 64, ",;:")},
        {"gprs.serverIp", at<&Params::gprs, &Gprs::serverIp>, {"Text3"}, "IP", "IP", "Label3", D::Texts,
         freeText("an address of up to 100 characters", 100, ",;:")},
        {"gprs.serverPort", at<&Params::gprs, &Gprs::serverPort>, {"Text5"}, "IP PORT", "IP PORT", "Label5", D::Texts,
         shaped("up to five digits (empty without a server)", 5, kPort, 65535, "0 to 65535")},
        {"gprs.httpAddress", at<&Params::gprs, &Gprs::httpAddress>, {"Text4"}, "HTTP", "HTTP", "Label4", D::Http,
         freeText("up to 200 characters", 200, ",;")},
        {"gprs.httpPort", at<&Params::gprs, &Gprs::httpPort>, {"Text31"}, "HTTP PORT", "HTTP PORT", "Label32", D::Http,
         shaped("up to five digits", 5, kPort, 65535, "0 to 65535")},
        {"gprs.interval", at<&Params::gprs, &Gprs::interval>, {"Text21"}, "Interval", "Interval", "Label29", D::Block,
         emptyHolds(shaped("three digits (\"030\"), \"000\" for off", 3, kDigits3, 255, "000 to 255"), "000")},
        {"gprs.intervalUnit", at<&Params::gprs, &Gprs::intervalUnit>, {"Option1", "Option2", "Option3"},
         "Interval Sec/Min/Hour", "", "", D::Block, std::nullopt},
        {"gprs.intervalOn", at<&Params::gprs, &Gprs::intervalOn>, {}, "Interval ON/OFF", "", "", D::Speed, std::nullopt},
    };

    // TEL NO.-SET. Letters "A" to "H" mark the numbers in the dump, so a number holds digits and
    // "+*#" alone.
    const char* const telBoxes[] = {"Text6", "Text7", "Text8", "Text25", "Text26", "Text27", "Text28", "Text29"};
    const char* const telLabels[] = {"Label6", "Label7", "Label8", "Label21", "Label37", "Label38", "Label39", "Label40"};
    const char* const telNames[] = {"ONE TEL", "TWO TEL", "THREE TEL", "FOUR TEL",
                                    "FIV TEL", "SIX TEL", "Seven TEL", "Eight TEL"};
    constexpr auto numbers = telephoneMembers(std::make_index_sequence<kNumbers>());
    for (int i = 0; i < kNumbers; ++i)
        t.push_back({QStringLiteral("telephones.%1").arg(i + 1), numbers[i], {telBoxes[i]}, telNames[i], telNames[i],
                     telLabels[i], D::Numbers,
                     shaped("up to 20 digits, \"+\", \"*\" or \"#\"; \"\" for none", 20, "[0-9+*#]*")});

    // GEO-FENCE: fence n is Text(9+n) on the row of Label(13+n) "Cod n", with its two check boxes.
    constexpr auto on = fenceMembers<&Fence::on>(std::make_index_sequence<kFences>());
    constexpr auto side = fenceMembers<&Fence::side>(std::make_index_sequence<kFences>());
    constexpr auto coordinate = fenceMembers<&Fence::coordinate>(std::make_index_sequence<kFences>());
    for (int i = 0; i < kFences; ++i) {
        const int n = i + 1;
        const QString key = QStringLiteral("fences.%1.").arg(n), cod = QStringLiteral("Cod %1").arg(n);
        t.push_back({key + QLatin1String("on"), on[i], {QStringLiteral("Check_d%1_on").arg(n)}, cod + QLatin1String(" ON/OFF"),
                     "", "", D::Fences, std::nullopt});
        t.push_back({key + QLatin1String("side"), side[i], {QStringLiteral("Check_d%1_in").arg(n)},
                     cod + QLatin1String(" IN/OUT"), "", "", D::Fences, std::nullopt});
        t.push_back({key + QLatin1String("coordinate"), coordinate[i], {QStringLiteral("Text%1").arg(9 + n)}, cod, cod,
                     QStringLiteral("Label%1").arg(13 + n), D::Fences, freeText("up to 100 characters", 100, ";")});
    }

    const std::vector<Field> rest = {
        // OTHER-SET
        {"other.lowBattery", at<&Params::other, &OtherSettings::lowBattery>, {"Combo3"}, "LOW BAT", "LOW BAT", "Label9",
         D::Speed, emptyHolds(shaped("two digits and \"%\" (\"45%\", \"05%\"), \"00%\" for off", 3, "[0-9]{2}%", 99,
                                     "00% to 99%"), "00%")},
        {"other.lowBatteryOn", at<&Params::other, &OtherSettings::lowBatteryOn>, {}, "LOW BAT ON/OFF", "", "", D::Speed,
         std::nullopt},
        {"other.overSpeed", at<&Params::other, &OtherSettings::overSpeed>, {"Text9"}, "Over Speed(Km/h)",
         "Over Speed(Km/h)", "Label10", D::Speed,
         emptyHolds(shaped("three digits (\"120\"), \"000\" for off", 3, kDigits3, 250, "000 to 250"), "000")},
        {"other.overSpeedOn", at<&Params::other, &OtherSettings::overSpeedOn>, {}, "Over Speed(Km/h) ON/OFF", "", "",
         D::Speed, std::nullopt},
        {"other.localHours", at<&Params::other, &OtherSettings::localHours>, {"Text15"}, "Local T hours", "Local T hours",
         "Label12", D::Password, shaped("a sign and two digits (\"+08\")", 3, "[+-][0-9]{2}", 23, "-23 to +23")},
        {"other.localMinutes", at<&Params::other, &OtherSettings::localMinutes>, {"Combo4"}, "Local T minutes",
         "Local T minutes", "", D::Password, emptyHolds(shaped("\"00\", \"15\", \"30\" or \"45\"", 2, "00|15|30|45"), "00")},
        {"other.fuel", at<&Params::other, &OtherSettings::fuel>, {"Text16"}, "Fuel", "Fuel", "Label19", D::None,
         shaped("\"y1,v1,y2,v2\" in digits", 40, "([0-9.]+(,[0-9.]+){3})?")},
        {"other.shakeStep", at<&Params::other, &OtherSettings::shakeStep>, {"Text32"}, "Shake Step", "Shake Step",
         "Label33", D::Block, emptyHolds(shaped("one digit, \"0\" (off) to \"4\"", 1, "[0-4]"), "0")},
        {"other.odometer", at<&Params::other, &OtherSettings::odometer>, {"Text18"}, "Hodometer(Km)", "Hodometer(Km)",
         "Label22", D::Odometer, emptyHolds(shaped("six digits (\"\" sends \"000000\")", 6, "([0-9]{6})?"), "000000")},
        {"other.displacement", at<&Params::other, &OtherSettings::displacement>, {"Text33"}, "Displacement(10m)",
         "Displacement(10m)", "Label34", D::Block,
         emptyHolds(shaped("three digits (\"010\"), \"000\" for off", 3, kDigits3, 255, "000 to 255"), "000")},
        {"other.displacementOn", at<&Params::other, &OtherSettings::displacementOn>, {}, "Displacement(10m) ON/OFF", "",
         "", D::Speed, std::nullopt},
        {"other.password", at<&Params::other, &OtherSettings::password>, {"Text17"}, "Password", "Password", "Label20",
         D::Password, freeText("1 to 16 characters", 16, ",;")},
        // PORT-SET: the design captions; the window re-captions the arm input's rows by model.
        {"port.doorLevel", at<&Params::port, &PortFunctions::doorLevel>, {"Option4", "Option5"}, "Door-level", "", "",
         D::None, std::nullopt},
        {"port.armFunction", at<&Params::port, &PortFunctions::armFunction>, {"Option14", "Option13", "Option15"},
         "Arm Fun Select", "", "", D::Condor, std::nullopt},
        {"port.armLevel", at<&Params::port, &PortFunctions::armLevel>, {"Option16", "Option17"}, "ARMIN-Level", "", "",
         D::Condor, std::nullopt},
        {"port.lineFunction", at<&Params::port, &PortFunctions::lineFunction>, {"Option20", "Option19", "Option18"},
         "IN-OUT Fun Select", "", "", D::Condor, std::nullopt},
        // Test & Especia Set
        {"special.lockType", at<&Params::special, &SpecialFunctions::lockType>, {"Option21", "Option22"}, "Lock-Select",
         "", "", D::Block, std::nullopt},
        {"special.doorLevel", at<&Params::special, &SpecialFunctions::doorLevel>, {"Option23", "Option24"}, "Door-Level",
         "", "", D::Block, std::nullopt},
        {"special.inputTel", at<&Params::special, &SpecialFunctions::inputTel>, {"Option25", "Option26"}, "Input-TEL",
         "", "", D::Block, std::nullopt},
        {"special.sosOutTel", at<&Params::special, &SpecialFunctions::sosOutTel>, {"Option27", "Option28"},
         "SOS-Out-TEL", "", "", D::Block, std::nullopt},
        // The unit itself, read-only boxes.
        {"identity.imei", at<&Params::identity, &Identity::imei>, {"Text2"}, "IMEI", "IMEI", "Label2", D::Identity,
         std::nullopt},
        {"identity.hardwareVersion", at<&Params::identity, &Identity::hardwareVersion>, {"Text30"}, "HW-Ver", "HW-Ver:",
         "Label30", D::Identity, std::nullopt},
        {"identity.softwareVersion", at<&Params::identity, &Identity::softwareVersion>, {"Text23"}, "SW-Ver", "SW-Ver:",
         "Label31", D::Identity, std::nullopt},
    };
    t.insert(t.end(), rest.begin(), rest.end());
    for (Field& f : t)
        if (f.form)
            f.form->key = f.key;
    return t;
}

const QHash<QString, const Field*>& index()
{
    static const QHash<QString, const Field*> byKey = [] {
        QHash<QString, const Field*> h;
        for (const Field& f : all())
            h.insert(f.key, &f);
        return h;
    }();
    return byKey;
}

// The boxes a field of type T has in the window when it has any: a text's box, a switch's or a
// fence side's check box, a choice's option buttons.
template <class T> int boxCount()
{
    if constexpr (std::is_same_v<T, QString> || std::is_same_v<T, bool> || std::is_same_v<T, FenceSide>)
        return 1;
    else
        return valueCount<T>();
}

template <class M> using ValueOf = typename std::remove_pointer_t<std::invoke_result_t<M, Params&, bool>>::value_type;

QStringList stepKeys(const rows::Step& step)
{
    QStringList keys;
    for (const QString& k : step.fields)
        keys << (k.endsWith(QLatin1Char('?')) ? k.chopped(1) : k);
    return keys;
}

}  // namespace

const std::vector<Field>& all()
{
    static const std::vector<Field> table = makeTable();
    return table;
}

const Field* field(const QString& key)
{
    return index().value(key);
}

QString held(const QString& key, const QString& text)
{
    const Field* f = field(key);
    return text.isEmpty() && f && f->form ? f->form->emptyHeld : text;
}


QString caption(const QString& key)
{
    const Field* f = field(key);
    return f ? f->caption : key;
}

QStringList problems(const std::vector<Field>& table)
{
    QStringList out;
    QHash<QString, const Field*> byKey;
    for (const Field& f : table) {
        if (byKey.contains(f.key))
            out << f.key + QStringLiteral(": two entries");
        byKey.insert(f.key, &f);
    }
    for (const GroupSize& g : kGroups) {
        const auto n = std::count_if(table.begin(), table.end(),
                                     [&](const Field& f) { return f.key.startsWith(QLatin1String(g.prefix)); });
        if (n != g.fields)
            out << QStringLiteral("%1*: the parameters have %2 fields, the table %3 entries").arg(g.prefix).arg(g.fields).arg(n);
    }

    // What the write sends, and what the rows and chains name.
    QSet<QString> written;
    for (const rows::Press& press : rows::writeOrder()) {
        if (press.row)
            for (const QString& k : stepKeys(press.row->step))
                written.insert(k);
        if (press.chain)
            for (const rows::Step& step : press.chain->steps)
                for (const QString& k : stepKeys(step))
                    written.insert(k);
    }
    QStringList sent;
    for (const rows::Row& row : rows::allRows())
        sent += stepKeys(row.step);
    for (const rows::Chain& chain : rows::allChains())
        for (const rows::Step& step : chain.steps)
            sent += stepKeys(step);
    sent.removeDuplicates();

    for (const Field& f : table) {
        if (f.caption.isEmpty())
            out << f.key + QStringLiteral(": no caption");
        std::visit(
            [&](auto member) {
                using T = ValueOf<decltype(member)>;
                if (!f.boxes.isEmpty() && f.boxes.size() != boxCount<T>())
                    out << QStringLiteral("%1: %2 boxes for %3 values").arg(f.key).arg(f.boxes.size()).arg(boxCount<T>());
                if constexpr (std::is_same_v<T, QString>) {
                    if (!f.boxes.isEmpty() && f.spoken.isEmpty())
                        out << f.key + QStringLiteral(": its box has no spoken name");
                    if (sent.contains(f.key) && !f.form)
                        out << f.key + QStringLiteral(": a row sends it, but it has no form");
                }
            },
            f.member);
        const bool never = !rows::neverWrittenWhy(f.key).isEmpty();
        if (!written.contains(f.key) && !never)
            out << f.key + QStringLiteral(": no press of a write sends it, and rows::neverWritten() gives no reason");
        if (written.contains(f.key) && never)
            out << f.key + QStringLiteral(": a write sends it, yet rows::neverWritten() names it");
        if (sent.contains(f.key) && f.boxes.isEmpty())
            out << f.key + QStringLiteral(": a row sends it, but the window has no box to read it from");
    }
    for (const QString& k : sent)
        if (!byKey.contains(k))
            out << k + QStringLiteral(": a row sends it, but the table has no such field");
    for (const rows::NeverWritten& n : rows::neverWritten())
        if (!byKey.contains(n.key))
            out << n.key + QStringLiteral(": named as never written, but the table has no such field");
    return out;
}

}  // namespace fields
