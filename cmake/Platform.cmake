# Everything that depends on the compiler or the processor, in one place: a port to
# another compiler or target changes this file only.
include(CheckCXXSourceCompiles)

# Flags by compiler family. The core needs floating-point expressions evaluated exactly
# as written (no fused multiply-add), and the sanitizer build needs ASan and UBSan.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set(TESORA_WARNING_FLAGS -Wall -Wextra -Wshadow -Wconversion)
  # Clang's -Wconversion also reports every int index into a size_t, which GCC's does
  # not; both compilers are held to the same set.
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    list(APPEND TESORA_WARNING_FLAGS -Wno-sign-conversion)
  endif()
  set(TESORA_WERROR_FLAGS -Werror)
  set(TESORA_STRICT_FP_FLAGS -ffp-contract=off)
  set(TESORA_SANITIZE_COMPILE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  set(TESORA_SANITIZE_LINK_FLAGS -fsanitize=address,undefined)
elseif(MSVC)
  set(TESORA_WARNING_FLAGS /W4)
  set(TESORA_WERROR_FLAGS /WX)
  set(TESORA_STRICT_FP_FLAGS /fp:precise)
  set(TESORA_SANITIZE_COMPILE_FLAGS /fsanitize=address)
  set(TESORA_SANITIZE_LINK_FLAGS)
else()
  message(FATAL_ERROR "Tesora: unknown compiler ${CMAKE_CXX_COMPILER_ID}; add its flags to cmake/Platform.cmake")
endif()

# The extended type (matrix/Extended.h): native long double where it is the x87 80-bit
# format, the software type elsewhere or when forced.
option(TESORA_SOFTWARE_EXTENDED "Use the software extended type even where long double would do" OFF)
check_cxx_source_compiles([[
#include <limits>
#if !defined(__x86_64__)
#error "not x86-64"
#endif
static_assert(std::numeric_limits<long double>::digits == 64);
static_assert(std::numeric_limits<long double>::max_exponent == 16384);
int main() { return 0; }
]] TESORA_HAS_X87_LONG_DOUBLE)
check_cxx_source_compiles([[
int main() { unsigned __int128 x = 3; x *= x; return static_cast<int>(x >> 64); }
]] TESORA_HAS_INT128)

if(TESORA_HAS_X87_LONG_DOUBLE AND NOT TESORA_SOFTWARE_EXTENDED)
  set(TESORA_EXTENDED_SOFTWARE 0)
  message(STATUS "Tesora extended precision: native 80-bit long double")
elseif(TESORA_HAS_INT128)
  set(TESORA_EXTENDED_SOFTWARE 1)
  message(STATUS "Tesora extended precision: software type (64-bit mantissa on 64/128-bit integers)")
else()
  message(FATAL_ERROR "Tesora needs extended precision with a 64-bit mantissa: this compiler has "
                      "neither the x87 80-bit long double nor unsigned __int128 for the software type.")
endif()
