# The tray app measured as a whole under Xvfb: `ninja bench_ui` prints the figures. It reads
# what the app shows through `--test-report`, which only a build with the test hooks has.
if(VANTU_TEST_HOOKS)
  add_custom_target(bench_ui
                    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/ui_bench.sh $<TARGET_FILE:vantu> 50 60
                    DEPENDS vantu USES_TERMINAL VERBATIM)
endif()
