# Warnings and floating-point rules shared by every target, linked PRIVATE.
option(TESORA_WERROR "Treat compiler warnings as errors" OFF)

add_library(tesora_options INTERFACE)
target_compile_options(tesora_options INTERFACE
  -Wall -Wextra -Wshadow -Wconversion
  $<$<BOOL:${TESORA_WERROR}>:-Werror>
  # Fast and reference paths must round alike: no contraction into fused multiply-adds.
  -ffp-contract=off)
