#pragma once
#include "bulk/output_file.h"
#include "core/params.h"

#include <QByteArray>
#include <QString>
#include <optional>

// A profile: a tracker's settings kept in a file, to be applied again to the same tracker or to
// many others, from the window (File menu) or from a script. The format is described for the
// people who edit it in docs/PROFILE.md.
namespace bulk {

// What a profile holds: the model whose window wrote it, and the parameters to apply.
// - Only the groups present are applied; inside a group only the fields present. A profile with
//   just the telephone numbers writes just those.
// - Texts are in the window's form, exactly as the window's boxes hold them ("030", "000" for an
//   interval that is off, "45%", "+08").
// - Never in a profile: the tracker's own on-switches (intervalOn, overSpeedOn, displacementOn,
//   lowBatteryOn; the window turns a setting off by its text instead), the identity group (the
//   unit's IMEI and versions, never written), and telephone numbers 6 to 8 other than empty ones
//   (no button of the window writes them). profileOf() makes a profile of what a tracker or the
//   window holds by those rules.
// - other.fuel present means a write includes the fuel step (the window's "Fuel" check box,
//   Check1, checked); other.password present means it includes the password step ("Password",
//   Check2). Absent, those steps are left out.
// - The port group belongs to the models Condor and Falcon, the special group to Harrier, the
//   fuel to Falcon and Harrier: their windows alone offer them.
struct Profile {
    Model model = Model::Petrel;
    Params params;
    bool operator==(const Profile&) const = default;
};

inline const QString kProfileFormat = QStringLiteral("korvane-profile");
constexpr int kProfileVersion = 1;
// Far above any real profile (a full one is under 2 KiB); a larger file is refused unread.
constexpr qint64 kProfileMaxBytes = 1 << 20;

// The outcome of reading a profile: the profile, or else one message "key: reason" (or a
// sentence about the file as a whole) that tells what to fix. Never both.
struct ProfileRead {
    std::optional<Profile> profile;
    QString error;
};

// The model of that name ("Petrel", "Condor", "Falcon", "Harrier"), as name(Model) gives it.
std::optional<Model> modelNamed(const QString& name);

// Parameters as the window shows them after a read: each on-switch that says off is folded into
// the text the window shows for it ("000" for the interval, the over-speed and the displacement,
// with no interval unit; "00%" for a battery level the read did not reach), and every on-switch
// is dropped. Everything else, identity included, is kept.
Params windowForm(Params params);

// The profile of what a tracker of `model` (a read of its dump) or the window holds: windowForm(),
// then what a profile never holds is dropped: identity, telephone numbers 6 to 8, the groups and
// the fuel that the model's window does not offer. Fuel and password stay as given: the caller
// decides whether the write should include those steps.
Profile profileOf(Model model, Params params);

// Empty when the profile holds only keys a profile may hold, each a whole text.
QString checkStructure(const Profile& profile);

// checkStructure(), then the first reason a write would refuse the profile (bulk/plan.h) as
// "key: reason"; empty when the whole profile can be written. The window's Open and Save run it,
// and korvane-cli's write.
QString validate(const Profile& profile);

// How much of a profile the loader checks: all that a write needs, or only its structure (a
// tracker's settings as read, to compare them, may hold values a write refuses).
enum class Check { Writable, Structure };

// The profile as indented JSON text (UTF-8), with only the groups and fields present; keys in
// alphabetical order, so that the same profile always gives the same text. On-switches and
// identity, should the value hold any, are not written.
QByteArray toJson(const Profile& profile);

// Reads a profile from the bytes of a file and checks all of it (format, version, every key,
// type and value) before returning it. A UTF-8 byte-order mark at the start is allowed.
ProfileRead parseProfile(const QByteArray& bytes, Check check = Check::Writable);

// parseProfile() of a file; a file that cannot be read, or is larger than kProfileMaxBytes, gets
// its own message.
ProfileRead loadProfile(const QString& path, Check check = Check::Writable);

// The field `key` of `profile` set from a text as a CSV cell holds it: a text as it is, a switch
// "true" or "false", a choice by its name ("Min"); its group is made present. The reason, as
// "key: reason", when the key is none a profile holds or the text does not fit its type; the
// profile is then unchanged. What the form of the field says (length, digits, range) is for
// validate().
QString setFieldText(Profile& profile, const QString& key, const QString& text);

// Checks the profile (validate()) and writes it with writeWhole(): a regular file is replaced only
// once the whole text is on disk, so a full disk or a crash leaves the old file as it was; a device
// or FIFO is written into. Returns empty on success, else the reason; nothing is written then.
QString saveProfile(const QString& path, const Profile& profile);

}   // namespace bulk
