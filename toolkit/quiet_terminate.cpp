// What ends a program on an exception nobody caught: the C++ runtime's
// default handler names the exception's type first, and to do so links a
// name demangler and formatted output into every program (about 70 KB of
// each), for a message no caller of ours reads. This one ends the process
// as that handler does after its message, through abort, and so carries
// none of it. (libstdc++ takes the handler by this name from the first
// object that defines it; MSVC's runtime has no such handler.)
#include <stdlib.h>

#if defined(__GNUC__)
namespace __gnu_cxx {

void __verbose_terminate_handler() { abort(); }

}  // namespace __gnu_cxx
#endif
