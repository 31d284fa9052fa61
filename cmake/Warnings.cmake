# Warnings and floating-point rules shared by every target, linked PRIVATE.
option(TESORA_WERROR "Treat compiler warnings as errors" OFF)

add_library(tesora_options INTERFACE)
target_compile_options(tesora_options INTERFACE
  ${TESORA_WARNING_FLAGS}
  $<$<BOOL:${TESORA_WERROR}>:${TESORA_WERROR_FLAGS}>
  # Fast and reference paths must round alike: no contraction into fused multiply-adds.
  ${TESORA_STRICT_FP_FLAGS})
