# The CLAP plug-in's tests, included by tests/CMakeLists.txt (paths are relative to tests/).

# The plug-in in a small host of ours, loaded from Halvora.clap: descriptor, ports,
# parameters and their text, the renderer's output to the bit, hostile values, state.
halvora_add_gtest (halvora_clap_host WITH_TOOLS PLAIN_BUILDS_ONLY
    SOURCES clap/ClapPluginHost.cpp
    PROPERTIES TIMEOUT 300)
target_compile_definitions (halvora_clap_host PRIVATE
    HALVORA_CLAP_BINARY="$<TARGET_FILE:Halvora_CLAP>" HALVORA_VERSION_STRING="${PROJECT_VERSION}")
target_link_libraries (halvora_clap_host PRIVATE halvora_clap_headers ${CMAKE_DL_LIBS})
add_dependencies (halvora_clap_host Halvora_CLAP)

# Saved states through the state extension, each case in a child process under an
# address-space limit.
add_executable (halvora_clap_state_host clap/ClapStateHost.cpp)
target_include_directories (halvora_clap_state_host PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
target_compile_definitions (halvora_clap_state_host PRIVATE HALVORA_CLAP_BINARY="$<TARGET_FILE:Halvora_CLAP>")
target_link_libraries (halvora_clap_state_host PRIVATE GTest::gtest_main halvora_clap_headers ${CMAKE_DL_LIBS})
add_dependencies (halvora_clap_state_host Halvora_CLAP)
halvora_own_warnings (halvora_clap_state_host)
if (NOT HALVORA_SANITIZE)
    gtest_discover_tests (halvora_clap_state_host TEST_PREFIX "Hosts.ClapState." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endif()

# The CLAP door in the one table of host values, and its process() in the allocation count.
target_sources (halvora_door_tests PRIVATE clap/ClapDoor.cpp)
target_link_libraries (halvora_door_tests PRIVATE halvora_clap)
target_sources (halvora_realtime_tests PRIVATE clap/ClapProcessAllocationTests.cpp)
target_link_libraries (halvora_realtime_tests PRIVATE halvora_clap)

# The editor in a small X11 host of ours: embedded at its size, run from the host's timer,
# host values shown, a drag reaching the host as a gesture, an ON button reaching the
# processor. The pointer and the screen belong to the suite's one X server, so these run alone.
add_executable (halvora_clap_gui_host clap/ClapGuiHost.cpp)
target_include_directories (halvora_clap_gui_host PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
target_compile_definitions (halvora_clap_gui_host PRIVATE HALVORA_CLAP_BINARY="$<TARGET_FILE:Halvora_CLAP>")
target_link_libraries (halvora_clap_gui_host PRIVATE GTest::gtest_main halvora_clap_headers PkgConfig::HALVORA_X11_TEST ${CMAKE_DL_LIBS})
add_dependencies (halvora_clap_gui_host Halvora_CLAP)
halvora_own_warnings (halvora_clap_gui_host)
if (NOT HALVORA_SANITIZE)
    gtest_discover_tests (halvora_clap_gui_host TEST_PREFIX "Hosts." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE)
endif()

# Debian's Qtractor scanner lists the plug-in (skipped where Qtractor is not installed).
add_test (NAME Hosts.ClapInQtractorScan COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/clap/clap-in-qtractor-scan.sh" "$<TARGET_FILE:Halvora_CLAP>")
set_tests_properties (Hosts.ClapInQtractorScan PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 120)

# One state document across the formats: the CLAP, VST3 and LV2 binaries as hosts load them.
add_executable (halvora_clap_formats_host clap/ClapStateAcrossFormats.cpp)
target_include_directories (halvora_clap_formats_host PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
target_include_directories (halvora_clap_formats_host SYSTEM PRIVATE "${halvora_vst3_sdk}")
target_compile_definitions (halvora_clap_formats_host PRIVATE
    HALVORA_CLAP_BINARY="$<TARGET_FILE:Halvora_CLAP>"
    HALVORA_VST3_BINARY="${halvora_vst3_bundle}/Contents/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux/Halvora.so"
    HALVORA_LV2_BUNDLE="${HALVORA_LV2_BUNDLE}/" HALVORA_LV2_BINARY="${HALVORA_LV2_BUNDLE}/libHalvora.so"
    HALVORA_LV2_URI="${HALVORA_LV2_URI}")
target_link_libraries (halvora_clap_formats_host PRIVATE GTest::gtest_main halvora_clap_headers ${CMAKE_DL_LIBS})
add_dependencies (halvora_clap_formats_host Halvora_CLAP Halvora_VST3 Halvora_LV2)
halvora_own_warnings (halvora_clap_formats_host)
if (NOT HALVORA_SANITIZE)
    gtest_discover_tests (halvora_clap_formats_host TEST_PREFIX "Hosts." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
endif()
