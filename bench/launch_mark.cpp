// A task for bench/launch_timing.sh: appends "<label> <seconds since the
// epoch>" to a file the moment it runs. Compiled, with nothing to load but
// the C library, so the mark comes the same short time after every launch
// (a shell script's start-up alone scatters by a few milliseconds).
#include <cstdio>
#include <ctime>

int main(int argc, char** argv)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (argc != 3)
        return 2;
    std::FILE* out = std::fopen(argv[2], "a");
    if (!out)
        return 1;
    std::fprintf(out, "%s %lld.%06ld\n", argv[1], static_cast<long long>(now.tv_sec), now.tv_nsec / 1000);
    return std::fclose(out) == 0 ? 0 : 1;
}
