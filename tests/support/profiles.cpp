#include "support/profiles.h"

#include <QtGlobal>

namespace testprofiles {

bulk::Profile checked(const QByteArray& json)
{
    const bulk::ProfileRead read = bulk::parseProfile(json);
    if (!read.profile)
        qFatal("test profile refused: %s", qPrintable(read.error));
    return *read.profile;
}

}  // namespace testprofiles
