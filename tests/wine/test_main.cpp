// The test main of the Windows test programs. A crash must fail the test run:
// without a handler of its own a crashed program sometimes exits with 0 under
// wine, so an unhandled exception ends it at once with status 70.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI on_crash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "crash: exception 0x%08lx\n",
                 info != nullptr && info->ExceptionRecord != nullptr ? info->ExceptionRecord->ExceptionCode : 0UL);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 70);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    SetUnhandledExceptionFilter(on_crash);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
