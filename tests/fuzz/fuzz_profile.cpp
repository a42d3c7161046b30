// The profile loader fed with arbitrary files: it returns a profile or one message, never both,
// never neither; whatever it accepts it would save again, and reads back the same from its text.
#include "bulk/profile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const bulk::ProfileRead read = bulk::parseProfile(bytes);
    if (read.profile.has_value() == !read.error.isEmpty())
        abort();
    if (!read.profile)
        return 0;
    if (!bulk::validate(*read.profile).isEmpty())
        abort();   // accepted, yet saving would refuse it
    const QByteArray text = bulk::toJson(*read.profile);
    const bulk::ProfileRead again = bulk::parseProfile(text);
    if (!again.profile || !(*again.profile == *read.profile) || bulk::toJson(*again.profile) != text)
        abort();   // its own text must read back as the same profile
    return 0;
}
