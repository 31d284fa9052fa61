# One switch builds the whole tree (core, Qt layer, tests) with ASan and UBSan.
if(TESORA_SANITIZE)
  add_compile_options(${TESORA_SANITIZE_COMPILE_FLAGS})
  add_link_options(${TESORA_SANITIZE_LINK_FLAGS})
  # The transform picks AVX2 loops at load time where the processor has them; this run
  # checks the baseline loops instead, so CI covers both.
  add_compile_definitions(TESORA_NO_WIDE_VECTORS)
endif()
