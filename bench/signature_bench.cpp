// Cost of checking one signed command (goal: under 50 us): the signature line
// read and the HMAC compared; then the whole admission of a replayed file,
// which also reads the key and the last stamp from the program folder.
#include "remote/CommandStamp.h"
#include "remote/RemoteKey.h"
#include "remote/Signature.h"
#include "support/TempDir.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace torv;

const std::string kKey(32, '\x5a');
const std::string kCommand = "/srv/jobs/nightly-backup.sh --full";
constexpr long long kStamp = 1796634300000;

void BM_check_signature(benchmark::State& state)
{
    const std::string line = signatureLine(kKey, kStamp, kCommand);
    bool ok = true;
    for (auto _ : state) {
        auto parsed = parseSignatureLine(line);
        ok = ok && parsed && signatureMatches(kKey, *parsed, kCommand);
        benchmark::DoNotOptimize(ok);
    }
    if (!ok)
        state.SkipWithError("a right signature was refused");
}
BENCHMARK(BM_check_signature)->Unit(benchmark::kMicrosecond);

void BM_admit_replayed_command(benchmark::State& state)
{
    sim::TempDir folder;
    folder.write(kRemoteKeyName, toHex(kKey) + "\n");
    std::filesystem::permissions(folder.file(kRemoteKeyName),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    if (loadRemoteKey(folder.path()).state != KeyState::Usable) {
        state.SkipWithError("the key cannot be used");
        return;
    }
    StampRecord stamps(folder.path());
    stamps.record(kStamp);
    const std::string line = signatureLine(kKey, kStamp, kCommand);
    bool refused = true;
    for (auto _ : state) {
        const RemoteKey key = loadRemoteKey(folder.path());
        refused = refused && admitSignedCommand(key, kCommand, line, kStamp, stamps).refusal == Refusal::StampUsed;
        benchmark::DoNotOptimize(refused);
    }
    if (!refused)
        state.SkipWithError("a replayed command was admitted");
}
BENCHMARK(BM_admit_replayed_command)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
