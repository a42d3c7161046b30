#include "sim/fleet.h"

#include "link/port_names.h"
#include "sim/state.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace sim {

namespace {

bool wholeNumber(const QString& text, int lo, int* out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo)
        return false;
    *out = v;
    return true;
}

}  // namespace

QString parseMishap(const QString& text, const Mishap& base, Mishap* out)
{
    Mishap m = base;
    if (text.isEmpty())
        return QStringLiteral("an empty entry");
    for (const QString& item : text.split(u'+')) {
        const qsizetype colon = item.indexOf(u':');
        const QString kind = item.left(colon);
        const QString arg = colon < 0 ? QString() : item.mid(colon + 1);
        const auto number = [&](const QString& t, int lo, int* v) {
            return wholeNumber(t, lo, v) ? QString()
                                         : QStringLiteral("\"%1\" wants a whole number of at least %2").arg(item).arg(lo);
        };
        const auto bare = [&] {
            return colon < 0 ? QString() : QStringLiteral("\"%1\" takes no value").arg(item);
        };
        QString why;
        if (kind == QLatin1String("ok"))
            why = bare();
        else if (kind == QLatin1String("silent"))
            why = bare(), m.faults.silent = true;
        else if (kind == QLatin1String("crlf"))
            why = bare(), m.faults.crlf = true;
        else if (kind == QLatin1String("garbage"))
            why = bare(), m.faults.garbage = true;
        else if (kind == QLatin1String("flood"))
            why = bare(), m.flood = true;
        else if (kind == QLatin1String("chunk")) {
            const QStringList parts = arg.split(u':');
            why = number(parts.value(0), 1, &m.faults.chunkSize);
            if (why.isEmpty() && parts.size() > 1)
                why = parts.size() > 2 ? QStringLiteral("\"%1\": chunk:N or chunk:N:MS").arg(item)
                                       : number(parts[1], 0, &m.faults.chunkDelayMs);
        } else if (kind == QLatin1String("fail-on")) {
            if (arg.isEmpty())
                why = QStringLiteral("\"%1\" wants a prefix").arg(item);
            m.faults.failOn = arg;
        } else if (kind == QLatin1String("hang-up-after"))
            why = number(arg, 0, &m.faults.hangUpAfter);
        else if (kind == QLatin1String("unplug"))
            why = number(arg, 0, &m.unplugAfterMs);
        else
            why = QStringLiteral("\"%1\" is no fault (ok, silent, crlf, garbage, flood, chunk:N[:MS], fail-on:PREFIX, "
                                 "hang-up-after:N, unplug:MS)").arg(item);
        if (!why.isEmpty())
            return why;
    }
    *out = m;
    return {};
}

QString Mishap::text() const
{
    QStringList t;
    if (faults.silent)
        t << QStringLiteral("silent");
    if (faults.crlf)
        t << QStringLiteral("crlf");
    if (faults.garbage)
        t << QStringLiteral("garbage");
    if (flood)
        t << QStringLiteral("flood");
    if (faults.chunkSize > 0)
        t << (faults.chunkDelayMs > 0 ? QStringLiteral("chunk:%1:%2").arg(faults.chunkSize).arg(faults.chunkDelayMs)
                                      : QStringLiteral("chunk:%1").arg(faults.chunkSize));
    if (!faults.failOn.isEmpty())
        t << QStringLiteral("fail-on:") + faults.failOn;
    if (faults.hangUpAfter >= 0)
        t << QStringLiteral("hang-up-after:%1").arg(faults.hangUpAfter);
    if (unplugAfterMs >= 0)
        t << QStringLiteral("unplug:%1").arg(unplugAfterMs);
    return t.isEmpty() ? QStringLiteral("ok") : t.join(u'+');
}

Fleet::Fleet(int count, Comings comings, Mishap base, QObject* parent)
    : QObject(parent), comings_(std::move(comings)), base_(std::move(base))
{
    ownImei_ = Tracker::factory().identity->imei.value_or(QString());
    for (int i = 0; i < count; ++i) {
        auto p = std::make_unique<Place>();
        p->pty = std::make_unique<PtyTracker>();
        // A place that comes back must not leave its link to a line the system may hand to anyone.
        p->pty->setUnlinkWhileDown(comings_.downMs >= 0);
        PtyTracker* pty = p->pty.get();
        connect(pty, &PtyTracker::commandReceived, this, [this, i](const QString& l) { emit commandReceived(i, l); });
        connect(pty, &PtyTracker::replied, this, [this, i](const QString& r) { emit replied(i, r); });
        connect(pty, &PtyTracker::hungUp, this, [this, i] { onHungUp(i); });
        p->unplug.setSingleShot(true);
        p->plugIn.setSingleShot(true);
        connect(&p->unplug, &QTimer::timeout, this, [this, i] {
            places_[size_t(i)]->unplugging = true;
            at(i).hangUp();
        });
        connect(&p->plugIn, &QTimer::timeout, this, [this, i] { plugIn(i, comings_.newImei); });
        connect(&p->swap, &QTimer::timeout, this, [this, i] {
            Place& place = *places_[size_t(i)];
            if (!more())
                return;
            ++place.k;
            newTracker(i);
            const Mishap& m = mishapOf(i);
            if (m.flood)
                place.pty->startFlood();
            if (m.unplugAfterMs >= 0)
                place.unplug.start(m.unplugAfterMs);
            ++arrivals_;
            emit swapped(i, imeiOf(i, place.k), place.mishap);
        });
        places_.push_back(std::move(p));
    }
}

Fleet::~Fleet()
{
    // The trackers hang up as they go; nothing is to come back.
    for (auto& p : places_)
        p->pty->disconnect(this);
}

QString Fleet::setState(const QByteArray& bytes)
{
    Tracker t;
    if (QString error = loadState(t, bytes); !error.isEmpty())
        return error;
    state_ = bytes;
    if (t.params().identity)
        ownImei_ = t.params().identity->imei.value_or(QString());
    return {};
}

bool Fleet::counting() const
{
    return comings_.newImei || comings_.swapEveryMs >= 0 || count() > 1 || !comings_.imei.isEmpty();
}

QString Fleet::check() const
{
    const QString first = comings_.imei.isEmpty() ? ownImei_ : comings_.imei;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (counting() && !digits.match(first).hasMatch())
        return QStringLiteral("the IMEIs count up from \"%1\", which is not 1 to 18 digits; give --imei").arg(first);
    return {};
}

QString Fleet::imeiOf(int place, int k) const
{
    const QString first = comings_.imei.isEmpty() ? ownImei_ : comings_.imei;
    if (!counting())
        return first;
    const qulonglong n = first.toULongLong() + qulonglong(k) * qulonglong(count()) + qulonglong(place);
    return QString::number(n).rightJustified(int(first.size()), u'0');
}

const Mishap& Fleet::mishapOf(int i) const
{
    const Place& p = *places_[size_t(i)];
    if (comings_.mix.isEmpty())
        return base_;
    return comings_.mix[(i + p.k) % comings_.mix.size()];
}

void Fleet::newTracker(int i)
{
    Place& p = *places_[size_t(i)];
    Tracker t;
    if (!state_.isEmpty())
        loadState(t, state_);   // checked by setState
    if (!t.params().identity)
        t.params().identity = bulk::Identity{};
    t.params().identity->imei = imeiOf(i, p.k);
    p.pty->replace(t);
    const Mishap& m = mishapOf(i);
    p.pty->faults() = m.faults;
    p.mishap = m.text();
}

bool Fleet::linkAs(int firstCom, QString* error)
{
    if (firstCom < 1 || firstCom + count() - 1 > 9) {
        if (error)
            *error = QStringLiteral("%1 trackers from COM%2 go past COM9").arg(count()).arg(firstCom);
        return false;
    }
    for (int i = 0; i < count(); ++i)
        places_[size_t(i)]->link = ports::entryPath(firstCom + i);
    return true;
}

bool Fleet::linkInto(const QString& dir, QString* error)
{
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return false;
    }
    for (int i = 0; i < count(); ++i)
        places_[size_t(i)]->link = QDir(dir).absoluteFilePath(QStringLiteral("tracker%1").arg(i + 1));
    return true;
}

int Fleet::present() const
{
    return int(std::count_if(places_.begin(), places_.end(), [](const auto& p) { return p->pty->isUp(); }));
}

QString Fleet::path(int i) const
{
    const Place& p = *places_[size_t(i)];
    return p.link.isEmpty() ? p.pty->slavePath() : p.link;
}

bool Fleet::start(QString* error)
{
    const int first = comings_.total > 0 ? qMin(count(), comings_.total) : count();
    for (int i = 0; i < first; ++i) {
        Place& p = *places_[size_t(i)];
        newTracker(i);
        if (!p.pty->start(error))
            return false;
        if (!p.link.isEmpty() && !p.pty->linkAt(p.link, error))
            return false;
    }
    for (int i = 0; i < first; ++i)
        arrive(i);
    return true;
}

void Fleet::arrive(int i)
{
    Place& p = *places_[size_t(i)];
    const Mishap& m = mishapOf(i);
    if (m.flood)
        p.pty->startFlood();   // start() knows nothing of the tracker's flood
    const int up = m.unplugAfterMs >= 0 ? m.unplugAfterMs : comings_.upMs;
    if (up >= 0)
        p.unplug.start(up);
    if (comings_.swapEveryMs >= 0)
        p.swap.start(comings_.swapEveryMs);
    ++arrivals_;
    emit arrived(i, imeiOf(i, p.k), p.pty->slavePath(), p.mishap);
}

void Fleet::plugIn(int i, bool another)
{
    Place& p = *places_[size_t(i)];
    if (!more())
        return;                       // the place stays empty
    if (another) {
        ++p.k;
        newTracker(i);
    }
    QString error;
    if (!p.pty->start(&error) || !p.pty->isUp()) {
        emit left(i, QStringLiteral("no pseudo-terminal: %1").arg(error));
        return;
    }
    if (!p.link.isEmpty() && p.pty->linkPath().isEmpty()) {
        emit left(i, QStringLiteral("its link is gone: %1").arg(error));
        p.pty->hangUp();
        return;
    }
    arrive(i);
}

void Fleet::onHungUp(int i)
{
    Place& p = *places_[size_t(i)];
    p.unplug.stop();
    p.swap.stop();
    const bool ours = p.unplugging;
    p.unplugging = false;
    emit left(i, ours ? QStringLiteral("unplugged") : QStringLiteral("hung up"));
    if (comings_.downMs >= 0)
        p.plugIn.start(comings_.downMs);
}

}  // namespace sim
