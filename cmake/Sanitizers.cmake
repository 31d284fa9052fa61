# One switch builds the whole tree (core, Qt layer, tests) with ASan and UBSan: every
# target links tesora_options, which carries this target along.
option(TESORA_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(tesora_sanitizers INTERFACE)
if(TESORA_SANITIZE)
  target_compile_options(tesora_sanitizers INTERFACE ${TESORA_SANITIZE_COMPILE_FLAGS})
  target_link_options(tesora_sanitizers INTERFACE ${TESORA_SANITIZE_LINK_FLAGS})
  # The transform picks AVX2 loops at load time where the processor has them; this run
  # checks the baseline loops instead, so CI covers both.
  target_compile_definitions(tesora_sanitizers INTERFACE TESORA_NO_WIDE_VECTORS)
endif()
target_link_libraries(tesora_options INTERFACE tesora_sanitizers)
