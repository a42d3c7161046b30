// The parameter dump parser fed with arbitrary replies, with and without the Condor pairs.
#include "core/dump_parser.h"

#include <cstdint>
#include <cstdlib>
#include <type_traits>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool condor = data[0] & 1;
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const bulk::DumpRead read = bulk::parseDump(reply, condor);
    if (!reply.startsWith(QLatin1Char('A')) && !(read == bulk::DumpRead{}))
        abort();
    if (!condor && read.params.port)
        abort();   // the port pairs are read for the Condor model only
    if (read.incomplete && read.localTimeError)
        abort();   // the local time is the last field: an error there ends a whole read
    bool tooLong = false;
    bulk::forEachField(read.params, [&](const QString&, const auto& field) {
        if constexpr (std::is_same_v<std::decay_t<decltype(field)>, std::optional<QString>>)
            tooLong = tooLong || (field && field->size() > reply.size());
    });
    if (tooLong)
        abort();   // a field longer than the reply came from outside it
    return 0;
}
