// The parameter dump parser fed with arbitrary replies, with and without the Condor pairs.
#include "bulk/dump_parser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool condor = data[0] & 1;
    const QString reply = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const auto effects = bulk::parseDump(reply, condor);
    int incomplete = 0;
    for (const auto& e : effects) {
        if (e.kind == bulk::Effect::Message && e.text == bulk::kIncompleteDump)
            ++incomplete;
        if (e.kind == bulk::Effect::SetText && e.text.size() > reply.size())
            abort();   // a field longer than the reply came from outside it
    }
    if (incomplete > 1 || (incomplete == 1 && effects.back().text != bulk::kIncompleteDump))
        abort();
    if (!reply.startsWith(QLatin1Char('A')) && !effects.empty())
        abort();
    return 0;
}
