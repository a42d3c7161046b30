#include "bulk/profile.h"

#include "bulk/plan.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace bulk {

namespace {

// Calls f(name, group) for each group that a profile may hold, in file order.
template <class F> void forEachGroup(Params& p, F&& f)
{
    f(QStringLiteral("gprs"), p.gprs);
    f(QStringLiteral("telephones"), p.telephones);
    f(QStringLiteral("fences"), p.fences);
    f(QStringLiteral("other"), p.other);
    f(QStringLiteral("port"), p.port);
    f(QStringLiteral("special"), p.special);
}

bool isSwitch(const QString& key)
{
    return key == QLatin1String("gprs.intervalOn") || key == QLatin1String("other.overSpeedOn")
           || key == QLatin1String("other.displacementOn") || key == QLatin1String("other.lowBatteryOn");
}

// Fields of Params that a profile never holds.
bool outsideProfiles(const QString& key)
{
    return isSwitch(key) || key.startsWith(QLatin1String("identity."));
}

bool hasPortPage(Model m)
{
    return m == Model::Condor || m == Model::Falcon;
}
bool hasSpecialPage(Model m)
{
    return m == Model::Harrier;
}
bool hasFuel(Model m)
{
    return m == Model::Falcon || m == Model::Harrier;
}

// A value as the message shows it: quoted, line breaks visible, a long one cut short.
QString quoted(QString v)
{
    v.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
    if (v.size() > 40)
        v = v.left(40) + QChar(0x2026);
    return QLatin1Char('"') + v + QLatin1Char('"');
}

// The values of an enum, in declaration order: name() is empty past the last.
template <class E> QStringList namesOf()
{
    QStringList names;
    for (int i = 0; !name(E(i)).isEmpty(); ++i)
        names << name(E(i));
    return names;
}

template <class E> std::optional<E> named(const QString& text)
{
    const qsizetype i = namesOf<E>().indexOf(text);
    return i < 0 ? std::nullopt : std::optional<E>(E(i));
}

QString kindOf(const QJsonValue& v)
{
    switch (v.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("true or false");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a text");
    case QJsonValue::Array: return QStringLiteral("a list [ ]");
    case QJsonValue::Object: return QStringLiteral("an object { }");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

QString choiceList(const QStringList& names)
{
    QStringList q;
    for (const QString& n : names)
        q << QLatin1Char('"') + n + QLatin1Char('"');
    return q.join(QLatin1String(", "));
}

// ---- reading ----------------------------------------------------------------------------------

// Every key a profile may hold, in forEachField() order.
QStringList profileKeys()
{
    Params all;
    forEachGroup(all, [](const QString&, auto& group) { group.emplace(); });
    QStringList keys;
    forEachField(all, [&keys](const QString& key, const auto&) {
        if (!outsideProfiles(key))
            keys << key;
    });
    return keys;
}

// The field `key` of p (its group present) set from v; the reason when v does not fit.
QString setField(Params& p, const QString& key, const QJsonValue& v)
{
    QString error;
    forEachField(p, [&](const QString& k, auto& field) {
        if (k != key)
            return;
        using T = typename std::decay_t<decltype(field)>::value_type;
        if constexpr (std::is_same_v<T, QString>) {
            if (v.isString())
                field = v.toString();
            else
                error = QStringLiteral("expected a text in double quotes, not %1").arg(kindOf(v));
        } else if constexpr (std::is_same_v<T, bool>) {
            if (v.isBool())
                field = v.toBool();
            else
                error = QStringLiteral("expected true or false, not %1").arg(kindOf(v));
        } else {
            const QStringList names = namesOf<T>();
            if (!v.isString())
                error = QStringLiteral("expected one of %1, not %2").arg(choiceList(names), kindOf(v));
            else if (const auto e = named<T>(v.toString()))
                field = *e;
            else
                error = QStringLiteral("%1 is none of %2").arg(quoted(v.toString()), choiceList(names));
        }
    });
    return error.isEmpty() ? error : key + QLatin1String(": ") + error;
}

QString unknownKey(const QString& key, const QStringList& known, const QString& container)
{
    if (isSwitch(key))
        return key
               + QStringLiteral(": unknown key; a profile turns a setting off by its text "
                                "(\"000\", or \"00%\" for the battery)");
    if (key == QLatin1String("identity") || key.startsWith(QLatin1String("identity.")))
        return key + QStringLiteral(": unknown key; the unit's IMEI and versions are not part of a profile");
    // The names that may stand here, so that a typing error is easy to see.
    QStringList names;
    for (const QString& k : known) {
        if (!k.startsWith(container))
            continue;
        const QString next = k.mid(container.size()).section(QLatin1Char('.'), 0, 0);
        if (!names.contains(next))
            names << next;
    }
    return key + QStringLiteral(": unknown key (known here: %1)").arg(names.join(QLatin1String(", ")));
}

// The members of `object`, which stands at `prefix` ("gprs.", "fences.2."), into p.
QString readMembers(Params& p, const QJsonObject& object, const QString& prefix, const QStringList& known)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = prefix + it.key();
        const bool plain = !it.key().isEmpty() && !it.key().contains(QLatin1Char('.'));
        const bool leaf = plain && known.contains(key);
        const bool container =
            plain && !leaf && std::any_of(known.begin(), known.end(), [&key](const QString& k) {
                return k.startsWith(key + QLatin1Char('.'));
            });
        if (!leaf && !container)
            return unknownKey(key, known, prefix);
        if (leaf) {
            if (QString error = setField(p, key, it.value()); !error.isEmpty())
                return error;
            continue;
        }
        if (!it.value().isObject())
            return key + QStringLiteral(": expected an object { }, not %1").arg(kindOf(it.value()));
        if (QString error = readMembers(p, it.value().toObject(), key + QLatin1Char('.'), known);
            !error.isEmpty())
            return error;
    }
    return {};
}

// The first key given twice in one object, as a dotted path ("gprs.apn"); empty when none is.
// The JSON reader keeps the last of two equal keys without a word, so a profile edited by hand
// could say one thing where a person reads another. Runs on text the JSON reader accepted.
QString duplicateKey(const QByteArray& bytes)
{
    struct Level {
        QSet<QString> keys;
        QString path;      // the object's own dotted path
        bool object;
        QString pending;   // the key whose value comes next
    };
    std::vector<Level> stack;
    bool expectKey = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '"') {
            const qsizetype start = i;
            for (++i; i < bytes.size() && bytes[i] != '"'; ++i)
                if (bytes[i] == '\\')
                    ++i;
            if (stack.empty() || !stack.back().object || !expectKey)
                continue;
            // The key as JSON reads it, escapes and all.
            const QJsonDocument one = QJsonDocument::fromJson("[" + bytes.mid(start, i - start + 1) + "]");
            const QString key = one.array().at(0).toString();
            Level& level = stack.back();
            const QString path = level.path.isEmpty() ? key : level.path + QLatin1Char('.') + key;
            if (level.keys.contains(key))
                return path;
            level.keys.insert(key);
            level.pending = path;
            expectKey = false;
        } else if (c == '{' || c == '[') {
            const QString path = stack.empty() ? QString() : stack.back().pending;
            stack.push_back({{}, path, c == '{', {}});
            expectKey = c == '{';
        } else if (c == '}' || c == ']') {
            if (!stack.empty())
                stack.pop_back();
        } else if (c == ',') {
            expectKey = !stack.empty() && stack.back().object;
        }
    }
    return {};
}

// Where the parser stopped, for a person looking at the file.
QString place(const QByteArray& bytes, int offset)
{
    const QByteArray before = bytes.left(offset);
    const int line = int(before.count('\n')) + 1;
    const int column = int(offset - (before.lastIndexOf('\n') + 1)) + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

QString readHead(const QJsonObject& root, Model& model)
{
    const QJsonValue format = root.value(QLatin1String("format"));
    if (format.isUndefined())
        return QStringLiteral("not a Korvane profile: \"format\": \"%1\" is missing").arg(kProfileFormat);
    if (format != QJsonValue(kProfileFormat))
        return QStringLiteral("not a Korvane profile: format is %1, not \"%2\"")
            .arg(format.isString() ? quoted(format.toString()) : kindOf(format), kProfileFormat);

    const QJsonValue version = root.value(QLatin1String("version"));
    if (version.isUndefined())
        return QStringLiteral("version: missing (this Korvane reads version %1)").arg(kProfileVersion);
    const double v = version.toDouble(-1);
    if (!version.isDouble() || v != std::floor(v))
        return QStringLiteral("version: expected a whole number, not %1").arg(kindOf(version));
    if (v > kProfileVersion)
        return QStringLiteral(
                   "version: %1 is newer than this Korvane reads (%2); open it with a newer Korvane")
            .arg(QString::number(v, 'g', 12))
            .arg(kProfileVersion);
    if (v < 1)
        return QStringLiteral("version: %1 is no profile version (%2 is)")
            .arg(QString::number(v, 'g', 12))
            .arg(kProfileVersion);

    const QJsonValue m = root.value(QLatin1String("model"));
    const QString models = choiceList(namesOf<Model>());
    if (m.isUndefined())
        return QStringLiteral("model: missing (one of %1)").arg(models);
    if (!m.isString())
        return QStringLiteral("model: expected one of %1, not %2").arg(models, kindOf(m));
    const auto named = modelNamed(m.toString());
    if (!named)
        return QStringLiteral("model: %1 is none of %2").arg(quoted(m.toString()), models);
    model = *named;
    return {};
}

// ---- checking ---------------------------------------------------------------------------------

// ---- writing ----------------------------------------------------------------------------------

QJsonValue json(const QString& v)
{
    return v;
}
QJsonValue json(bool v)
{
    return v;
}
template <class E> QJsonValue json(E v)
{
    return name(v);
}

void put(QJsonObject& object, const QStringList& path, const QJsonValue& value)
{
    if (path.size() == 1) {
        object.insert(path.first(), value);
        return;
    }
    QJsonObject inner = object.value(path.first()).toObject();
    put(inner, path.mid(1), value);
    object.insert(path.first(), inner);
}

}   // namespace

std::optional<Model> modelNamed(const QString& text)
{
    return named<Model>(text);
}

Params windowForm(Params p)
{
    const QString off = QStringLiteral("000");
    if (auto& g = p.gprs) {
        if (g->intervalOn == false) {
            g->interval = off;
            g->intervalUnit.reset();   // the window shows no unit selected
        }
        g->intervalOn.reset();
    }
    if (auto& o = p.other) {
        if (o->overSpeedOn == false)
            o->overSpeed = off;
        if (o->displacementOn == false)
            o->displacement = off;
        // A level that the read reached is shown even when the alarm is off.
        if (o->lowBatteryOn == false && !o->lowBattery)
            o->lowBattery = QStringLiteral("00%");
        o->overSpeedOn.reset();
        o->displacementOn.reset();
        o->lowBatteryOn.reset();
    }
    return p;
}

Profile profileOf(Model model, Params params)
{
    // A battery alarm that is off is written back as off: the level the dump shows beside the
    // switch would turn it on.
    if (params.other && params.other->lowBatteryOn == false)
        params.other->lowBattery = QStringLiteral("00%");
    Profile profile{model, windowForm(std::move(params))};
    Params& p = profile.params;
    p.identity.reset();
    if (!hasPortPage(model))
        p.port.reset();
    if (!hasSpecialPage(model))
        p.special.reset();
    if (p.other && !hasFuel(model))
        p.other->fuel.reset();
    return profile;
}

QString checkStructure(const Profile& profile)
{
    QString error;
    forEachField(profile.params, [&error](const QString& key, const auto& field) {
        if (!error.isEmpty() || !field)
            return;
        if (outsideProfiles(key))
            error = key + QStringLiteral(": not part of a profile");
        if constexpr (std::is_same_v<std::decay_t<decltype(*field)>, QString>) {
            // A "\ud800" escape alone is no character: such a text could not be saved as UTF-8.
            if (error.isEmpty() && !field->isValidUtf16())
                error = key + QStringLiteral(": holds half of a character (a lone \\u escape)");
        }
    });
    return error;
}

QString validate(const Profile& profile)
{
    if (QString error = checkStructure(profile); !error.isEmpty())
        return error;
    for (const Refusal& r : refusals(profile))
        if (!r.incomplete)
            return r.message();
    return {};
}

QByteArray toJson(const Profile& profile)
{
    QJsonObject root;
    root.insert(QLatin1String("format"), kProfileFormat);
    root.insert(QLatin1String("version"), kProfileVersion);
    root.insert(QLatin1String("model"), name(profile.model));
    forEachField(profile.params, [&root](const QString& key, const auto& field) {
        if (outsideProfiles(key))
            return;
        const QStringList path = key.split(QLatin1Char('.'));
        // A group present stays in the file even when it holds no field.
        if (!root.contains(path.first()))
            root.insert(path.first(), QJsonObject());
        if (field)
            put(root, path, json(*field));
    });
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

ProfileRead parseProfile(const QByteArray& raw, Check check)
{
    const auto fail = [](const QString& error) { return ProfileRead{std::nullopt, error}; };
    if (raw.size() > kProfileMaxBytes)
        return fail(QStringLiteral("too large for a profile (%1 bytes)").arg(raw.size()));
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.trimmed().isEmpty())
        return fail(QStringLiteral("the file is empty"));
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        (void)QString(utf8(bytes));
        if (utf8.hasError())
            return fail(QStringLiteral("not a profile: the file is not UTF-8 text"));
    }

    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const int offset = int(qBound(0, parse.offset, int(bytes.size())));
        const bool early = parse.error == QJsonParseError::UnterminatedObject
                           || parse.error == QJsonParseError::UnterminatedArray
                           || parse.error == QJsonParseError::UnterminatedString
                           || bytes.mid(offset).trimmed().isEmpty();
        if (early)
            return fail(
                QStringLiteral("the file ends too early (%1): it is cut short").arg(place(bytes, offset)));
        return fail(QStringLiteral("not a profile: not JSON (%1 at %2)")
                        .arg(parse.errorString(), place(bytes, offset)));
    }
    if (!doc.isObject())
        return fail(QStringLiteral("not a Korvane profile: the file holds a JSON list, not an object { }"));
    if (const QString twice = duplicateKey(bytes); !twice.isEmpty())
        return fail(twice + QStringLiteral(": given twice; keep one"));

    const QJsonObject root = doc.object();
    Profile profile;
    if (QString error = readHead(root, profile.model); !error.isEmpty())
        return fail(error);

    const QStringList known = profileKeys();
    Params params;
    for (auto it = root.begin(); it != root.end(); ++it) {
        const QString& key = it.key();
        if (key == QLatin1String("format") || key == QLatin1String("version")
            || key == QLatin1String("model"))
            continue;
        bool group = false;
        QStringList groups;
        forEachGroup(params, [&](const QString& name, auto& g) {
            groups << name;
            if (name == key && it.value().isObject()) {
                g.emplace();
                group = true;
            }
        });
        if (!groups.contains(key)) {
            if (key == QLatin1String("identity"))
                return fail(unknownKey(key, known, QString()));
            return fail(key
                        + QStringLiteral(": unknown key (known here: format, version, model, %1)")
                              .arg(groups.join(QLatin1String(", "))));
        }
        if (!group)
            return fail(key + QStringLiteral(": expected an object { }, not %1").arg(kindOf(it.value())));
        if (QString error = readMembers(params, it.value().toObject(), key + QLatin1Char('.'), known);
            !error.isEmpty())
            return fail(error);
    }
    profile.params = params;
    if (QString error = check == Check::Writable ? validate(profile) : checkStructure(profile); !error.isEmpty())
        return fail(error);
    return {profile, QString()};
}

ProfileRead loadProfile(const QString& path, Check check)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("cannot be read: %1").arg(file.errorString())};
    if (file.size() > kProfileMaxBytes)
        return {std::nullopt, QStringLiteral("too large for a profile (%1 bytes)").arg(file.size())};
    const QByteArray bytes = file.read(kProfileMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {std::nullopt, QStringLiteral("cannot be read: %1").arg(file.errorString())};
    return parseProfile(bytes, check);
}

QString setFieldText(Profile& profile, const QString& key, const QString& text)
{
    // Once: a values file sets thousands of cells.
    static const QStringList known = profileKeys();
    if (!known.contains(key)) {
        // Named against the deepest group the key does reach, so that a typing error shows.
        QString container;
        for (const QString& k : known)
            for (qsizetype dot = k.indexOf(QLatin1Char('.')); dot >= 0; dot = k.indexOf(QLatin1Char('.'), dot + 1))
                if (key.startsWith(k.left(dot + 1)) && dot + 1 > container.size())
                    container = k.left(dot + 1);
        if (container.isEmpty())
            return key + QStringLiteral(": unknown key (a profile's keys are group.field: gprs.apn, telephones.1 ...)");
        return unknownKey(key, known, container);
    }
    Params params = profile.params;
    const QString group = key.section(QLatin1Char('.'), 0, 0);
    forEachGroup(params, [&group](const QString& name, auto& g) {
        if (name == group && !g)
            g.emplace();
    });
    QJsonValue value(text);
    forEachField(params, [&](const QString& k, const auto& field) {
        using T = typename std::decay_t<decltype(field)>::value_type;
        if constexpr (std::is_same_v<T, bool>)
            if (k == key && (text == QLatin1String("true") || text == QLatin1String("false")))
                value = QJsonValue(text == QLatin1String("true"));
    });
    if (QString error = setField(params, key, value); !error.isEmpty())
        return error;
    profile.params = std::move(params);
    return {};
}

QString saveProfile(const QString& path, const Profile& profile)
{
    if (QString error = validate(profile); !error.isEmpty())
        return error;
    return writeWhole(path, toJson(profile));
}

}   // namespace bulk
