# Warnings and floating-point rules shared by every target, linked PRIVATE.
add_library(tesora_options INTERFACE)
target_compile_options(tesora_options INTERFACE
  -Wall -Wextra
  # Fast and reference paths must round alike: no contraction into fused multiply-adds.
  -ffp-contract=off)
