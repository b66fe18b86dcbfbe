// A stand-in filter program for the engine tests. It appends its arguments (one per line)
// and then everything it read on standard input to $PROBE_LOG, and behaves as the
// variables say:
//   PROBE_EXIT=n      exit code (default 0)
//   PROBE_OUTPUT=f    copy file f to standard output (import)
//   PROBE_NOREAD=1    exit at once without reading standard input
//   PROBE_CRASH=1     end by a signal
//   PROBE_HANG=1      never end on its own (reads nothing)
//   PROBE_TOUCH=1     create the -E target file (a half-written export)
//   PROBE_NOTES=f     copy file f to standard error (the filter's notes), first of all
//   PROBE_CHILD=1     start a child that never ends; "child=PID" goes to the log
//   PROBE_IGNORE_TERM=1  ignore SIGTERM (only SIGKILL ends it)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    // First of all, so a stop that comes once the log shows the run finds it in place.
    if (std::getenv("PROBE_IGNORE_TERM"))
        std::signal(SIGTERM, SIG_IGN);
    const char* log = std::getenv("PROBE_LOG");
    std::FILE* out = log ? std::fopen(log, "ab") : nullptr;
    if (out) {
        std::fprintf(out, "argc=%d\n", argc - 1);
        for (int i = 1; i < argc; ++i)
            std::fprintf(out, "[%s]\n", argv[i]);
        std::fflush(out);
    }
    if (const char* notes = std::getenv("PROBE_NOTES")) {
        if (std::FILE* in = std::fopen(notes, "rb")) {
            char buf[4096];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
                std::fwrite(buf, 1, n, stderr);
            std::fclose(in);
        }
        std::fflush(stderr);
    }
    if (std::getenv("PROBE_CHILD")) {
        const pid_t child = fork();
        if (child == 0)
            for (;;)
                pause();
        if (out) {
            std::fprintf(out, "child=%d\n", static_cast<int>(child));
            std::fflush(out);
        }
    }
    if (std::getenv("PROBE_TOUCH"))
        for (int i = 1; i + 1 < argc; ++i)
            if (std::strcmp(argv[i], "-E") == 0)
                if (std::FILE* t = std::fopen(argv[i + 1], "wb")) {
                    std::fputs("partial", t);
                    std::fclose(t);
                }
    if (std::getenv("PROBE_HANG"))
        for (;;)
            pause();
    const bool noRead = std::getenv("PROBE_NOREAD") != nullptr;
    if (!noRead) {
        if (out)
            std::fputs("stdin:", out);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0)
            if (out)
                std::fwrite(buf, 1, n, out);
        if (out)
            std::fputs(":end\n", out);
    }
    if (out)
        std::fclose(out);
    if (const char* src = std::getenv("PROBE_OUTPUT")) {
        if (std::FILE* in = std::fopen(src, "rb")) {
            char buf[4096];
            std::size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
                std::fwrite(buf, 1, n, stdout);
            std::fclose(in);
        }
    }
    if (std::getenv("PROBE_CRASH"))
        std::raise(SIGKILL);
    const char* code = std::getenv("PROBE_EXIT");
    return code ? std::atoi(code) : 0;
}
