#pragma once
#include <QStringList>

class QObject;

// A long suite run as several processes side by side: KORVANE_SHARD="i/n" makes this process the
// i-th (1-based) of n, and each takes every n-th piece of work. CTest starts the shards (see
// tests/CMakeLists.txt); most of a shard's time is spent waiting on serial timing, so shards run
// beside each other in the time of one.
namespace shard {

struct Shard {
    int index = 1;
    int count = 1;
    bool mine(int piece) const { return piece % count == index - 1; }   // piece counts from 0
};

// From KORVANE_SHARD; one shard of one when it is unset or malformed.
Shard current();

// The command line for QTest::qExec: the test functions of `test` this shard runs (every n-th in
// the order they are declared) after the arguments given; the arguments alone when not sharded or
// when they name functions themselves.
QStringList arguments(const QObject& test, int argc, char** argv);

}  // namespace shard

// QTEST_GUILESS_MAIN, with the test functions shared out among the shards.
#define KORVANE_SHARDED_GUILESS_MAIN(TestObject)                                  \
    int main(int argc, char** argv)                                               \
    {                                                                             \
        QCoreApplication app(argc, argv);                                         \
        TestObject tc;                                                            \
        QTEST_SET_MAIN_SOURCE_PATH                                                \
        return QTest::qExec(&tc, shard::arguments(tc, argc, argv));               \
    }
