// Writes the console's nine cue files: short 16-bit PCM mono tones, each a
// little melody of its own so the cues can be told apart by ear.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;

struct Note {
    double hz; // 0 is a rest
    double seconds;
};

struct CueTone {
    const char* name;
    std::vector<Note> notes;
};

void put16(std::ofstream& out, std::uint16_t v)
{
    out.put(static_cast<char>(v & 0xff));
    out.put(static_cast<char>(v >> 8));
}

void put32(std::ofstream& out, std::uint32_t v)
{
    put16(out, static_cast<std::uint16_t>(v & 0xffff));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

std::vector<std::int16_t> render(const std::vector<Note>& notes)
{
    std::vector<std::int16_t> samples;
    for (const Note& n : notes) {
        const int count = static_cast<int>(n.seconds * kRate);
        for (int i = 0; i < count; ++i) {
            double v = 0;
            if (n.hz > 0) {
                const double t = static_cast<double>(i) / kRate;
                // A soft attack and an exponential decay: a bell-like, pleasant tone
                // without clicks at either end.
                const double attack = std::min(1.0, t / 0.01);
                const double release = std::min(1.0, (n.seconds - t) / 0.02);
                const double env = attack * release * std::exp(-3.0 * t / n.seconds);
                v = env * (0.8 * std::sin(2 * kPi * n.hz * t) + 0.2 * std::sin(4 * kPi * n.hz * t));
            }
            samples.push_back(static_cast<std::int16_t>(v * 0.5 * 32767));
        }
    }
    return samples;
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    put32(out, 36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, bytes);
    for (std::int16_t s : samples)
        put16(out, static_cast<std::uint16_t>(s));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cuegen OUTPUT_FOLDER\n");
        return 2;
    }
    const double C5 = 523.25, E5 = 659.25, G5 = 783.99, C6 = 1046.5, A4 = 440.0, F4 = 349.23, D5 = 587.33, B4 = 493.88,
                 G4 = 392.0;
    const std::vector<CueTone> cues = {
        {"START", {{C5, 0.12}, {E5, 0.12}, {G5, 0.22}}},
        {"done", {{G5, 0.10}, {C6, 0.25}}},
        {"complete", {{E5, 0.15}}},
        {"failure", {{A4, 0.18}, {0, 0.04}, {F4, 0.30}}},
        {"finished", {{C5, 0.10}, {E5, 0.10}, {G5, 0.10}, {C6, 0.35}}},
        {"shutdown", {{G5, 0.15}, {E5, 0.15}, {C5, 0.15}, {G4, 0.35}}},
        {"relay", {{D5, 0.08}, {0, 0.05}, {D5, 0.08}}},
        {"command", {{B4, 0.10}, {D5, 0.20}}},
        {"ipchange", {{C6, 0.08}, {G5, 0.08}, {C6, 0.08}, {G5, 0.08}}},
    };
    for (const CueTone& c : cues) {
        const std::string path = std::string(argv[1]) + "/" + c.name + ".wav";
        if (!writeWav(path, render(c.notes))) {
            std::fprintf(stderr, "cuegen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
