// A terminate handler for programs built without exceptions: it says on
// stderr what ended the program ("ended by kel_std::out_of_range: out of
// range error", "ended by std::bad_alloc", "ended by std::terminate without
// an exception") and exits with status 3. Its source is compiled with
// exceptions, so that it can look at the exception in flight.
#ifndef KEL_STD_TESTS_TERMINATE_REPORT_H
#define KEL_STD_TESTS_TERMINATE_REPORT_H

namespace kel_test {

void install_terminate_report();

} // namespace kel_test

#endif
