#include "support/terminate_report.h"

#include <kel_std/errors.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>

namespace kel_test {
namespace {

[[noreturn]] void report_and_exit() {
    const std::exception_ptr e = std::current_exception();
    if (e == nullptr) {
        std::fputs("ended by std::terminate without an exception\n", stderr);
    } else {
        try {
            std::rethrow_exception(e);
        } catch (const kel_std::out_of_range& x) {
            std::fprintf(stderr, "ended by kel_std::out_of_range: %s\n", x.what());
        } catch (const kel_std::length_error& x) {
            std::fprintf(stderr, "ended by kel_std::length_error: %s\n", x.what());
        } catch (const std::bad_alloc&) {
            std::fputs("ended by std::bad_alloc\n", stderr);
        } catch (const std::exception& x) {
            std::fprintf(stderr, "ended by another exception: %s\n", x.what());
        } catch (...) {
            std::fputs("ended by an exception of an unknown type\n", stderr);
        }
    }
    std::fflush(stderr);
    std::_Exit(3);
}

} // namespace

void install_terminate_report() {
    std::set_terminate(report_and_exit);
}

} // namespace kel_test
