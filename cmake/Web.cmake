# The browser's build (make web), included by CMakeLists.txt: the same program twice over the
# same library. build/web/ is what a static web server serves: the page, velmora.js and
# velmora.wasm (the page's program: the web host, one thread), and Data.kqx. build/web/node/
# holds the program for Node (the headless host and the machine's own files by their paths),
# the program the tests fly and time.
set(VELMORA_WEB_OUT ${CMAKE_SOURCE_DIR}/build/web CACHE PATH "Where the page and its files go")
# The archive is the one the native build makes (make web builds that first): the same bytes.
set(VELMORA_WEB_DATA ${CMAKE_SOURCE_DIR}/build/release/Data.kqx CACHE FILEPATH
    "The Data.kqx the page serves")

set(VELMORA_PAGE_LIBRARY ${CMAKE_SOURCE_DIR}/platform/host/WebHost.js)
# The most threads the page's device draws on where it may use threads (workers started with
# the page; the device takes as many as the processor has cores, up to this).
set(VELMORA_WEB_MAX_THREADS 4)
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/host/SystemWeb.cpp PROPERTIES
    COMPILE_DEFINITIONS VELMORA_WEB_MAX_THREADS=${VELMORA_WEB_MAX_THREADS})
# Memory grows as the program asks (a 4x internal resolution needs more than the start); the
# C++ stack is the program's, which keeps some large records on it.
set(VELMORA_WEB_LINK_OPTIONS -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB -sTOTAL_STACK=8MB
    -sEXIT_RUNTIME=1 --js-library ${VELMORA_PAGE_LIBRARY})

# Under Node: the machine's files by their paths, and the module compiled as the script loads
# (Node 20's fetch cannot read a file, which loading it in the background would try).
set(VELMORA_NODE_LINK_OPTIONS -sENVIRONMENT=node -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0
    --pre-js ${CMAKE_SOURCE_DIR}/platform/host/NodeEnvironment.js)

# The page's program. Its loop runs from the browser's frame callback: the host's waits for
# the next frame and for the answer to a box give the page back to the browser (Asyncify) and
# carry on where they were when it calls.
set(VELMORA_PAGE_LINK_OPTIONS ${VELMORA_WEB_LINK_OPTIONS} -sENVIRONMENT=web,worker
    -sASYNCIFY=1 "-sASYNCIFY_IMPORTS=[velmora_page_next_frame,velmora_page_ask]"
    -sASYNCIFY_STACK_SIZE=65536 "-sEXPORTED_RUNTIME_METHODS=[FS]" -sFORCE_FILESYSTEM=1)
add_executable(velmora app/main.cpp)
target_compile_options(velmora PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(velmora PRIVATE velmora_core)
target_link_options(velmora PRIVATE ${VELMORA_PAGE_LINK_OPTIONS})
set_target_properties(velmora PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORA_WEB_OUT}
    LINK_DEPENDS ${VELMORA_PAGE_LIBRARY})

# The program for Node: velmora.js --headless ... as on Linux.
add_executable(velmora_node app/main.cpp)
target_compile_options(velmora_node PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(velmora_node PRIVATE velmora_core)
target_link_options(velmora_node PRIVATE ${VELMORA_WEB_LINK_OPTIONS} ${VELMORA_NODE_LINK_OPTIONS})
set_target_properties(velmora_node PROPERTIES OUTPUT_NAME velmora
    RUNTIME_OUTPUT_DIRECTORY ${VELMORA_WEB_OUT}/node
    LINK_DEPENDS "${VELMORA_PAGE_LIBRARY};${CMAKE_SOURCE_DIR}/platform/host/NodeEnvironment.js")

# The page's program with the device's worker threads, which the page loads where the browser
# lets it share memory (served cross-origin isolated). Shared memory needs every object built
# for it, so the library is built a second time. The workers are started with the program, as
# many as the largest count a page draws on; the frames are the same bits as on one thread.
add_library(stb_impl_threads STATIC ${CMAKE_SOURCE_DIR}/third_party/stb_impl.c)
target_include_directories(stb_impl_threads SYSTEM PUBLIC ${STB_INCLUDE_DIR})
target_compile_options(stb_impl_threads PRIVATE -w -pthread)
add_library(velmora_core_threads STATIC ${VELMORA_SOURCES})
target_include_directories(velmora_core_threads PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(velmora_core_threads PRIVATE ${VELMORA_WARNINGS} -pthread)
target_link_libraries(velmora_core_threads PUBLIC stb_impl_threads)
math(EXPR web_workers "${VELMORA_WEB_MAX_THREADS} - 1")
set(VELMORA_THREAD_LINK_OPTIONS -pthread -sPTHREAD_POOL_SIZE=${web_workers})
add_executable(velmora_threads app/main.cpp)
target_compile_options(velmora_threads PRIVATE ${VELMORA_WARNINGS} -pthread)
target_link_libraries(velmora_threads PRIVATE velmora_core_threads)
target_link_options(velmora_threads PRIVATE ${VELMORA_PAGE_LINK_OPTIONS}
    ${VELMORA_THREAD_LINK_OPTIONS})
set_target_properties(velmora_threads PROPERTIES OUTPUT_NAME velmora-threads
    RUNTIME_OUTPUT_DIRECTORY ${VELMORA_WEB_OUT} LINK_DEPENDS ${VELMORA_PAGE_LIBRARY})
# The same under Node, where the tests fly it on several threads.
add_executable(velmora_node_threads app/main.cpp)
target_compile_options(velmora_node_threads PRIVATE ${VELMORA_WARNINGS} -pthread)
target_link_libraries(velmora_node_threads PRIVATE velmora_core_threads)
target_link_options(velmora_node_threads PRIVATE ${VELMORA_WEB_LINK_OPTIONS}
    ${VELMORA_NODE_LINK_OPTIONS} ${VELMORA_THREAD_LINK_OPTIONS})
set_target_properties(velmora_node_threads PROPERTIES OUTPUT_NAME velmora-threads
    RUNTIME_OUTPUT_DIRECTORY ${VELMORA_WEB_OUT}/node
    LINK_DEPENDS "${VELMORA_PAGE_LIBRARY};${CMAKE_SOURCE_DIR}/platform/host/NodeEnvironment.js")

# The page and the archive beside the programs.
set(web_files ${VELMORA_WEB_OUT}/index.html ${VELMORA_WEB_OUT}/Data.kqx
    ${VELMORA_WEB_OUT}/node/Data.kqx)
add_custom_command(OUTPUT ${web_files}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/app/web/index.html ${VELMORA_WEB_OUT}/
    COMMAND ${CMAKE_COMMAND} -E copy ${VELMORA_WEB_DATA} ${VELMORA_WEB_OUT}/
    COMMAND ${CMAKE_COMMAND} -E copy ${VELMORA_WEB_DATA} ${VELMORA_WEB_OUT}/node/
    DEPENDS ${CMAKE_SOURCE_DIR}/app/web/index.html ${VELMORA_WEB_DATA}
    COMMENT "The page and Data.kqx")
add_custom_target(web_page ALL DEPENDS ${web_files})

# The tests of what differs in WebAssembly, run under Node: the span kernels on every stage
# combination (compared with the native build's bits by scripts/test-web.sh), the device's
# rules on each kernel build, and the page's key names. GoogleTest is built from Debian's sources for this target.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_executable(velmora_tests
    ${CMAKE_SOURCE_DIR}/tests/platform/span_kernels_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/platform/direct3d_render_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/platform/page_keys_test.cpp)
target_compile_options(velmora_tests PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(velmora_tests PRIVATE velmora_core gtest gtest_main)
target_link_options(velmora_tests PRIVATE ${VELMORA_WEB_LINK_OPTIONS} ${VELMORA_NODE_LINK_OPTIONS})
target_compile_definitions(velmora_tests PRIVATE
    VELMORA_BINARY_DIR="${VELMORA_WEB_OUT}/node"
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# make package-web: velmora-X.Y.Z-web.zip, one folder with the page's files, a README.txt on
# serving them, and the licences of what is compiled in.
set(web_package velmora-${PROJECT_VERSION}-web)
set(web_stage ${CMAKE_BINARY_DIR}/package/${web_package})
configure_file(${CMAKE_SOURCE_DIR}/app/web/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY)
add_custom_target(package_web
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/package
    COMMAND ${CMAKE_COMMAND} -E make_directory ${web_stage}/licences
        ${CMAKE_SOURCE_DIR}/build/package
    COMMAND ${CMAKE_COMMAND} -E copy ${VELMORA_WEB_OUT}/index.html ${VELMORA_WEB_OUT}/velmora.js
        ${VELMORA_WEB_OUT}/velmora.wasm ${VELMORA_WEB_OUT}/velmora-threads.js
        ${VELMORA_WEB_OUT}/velmora-threads.wasm ${VELMORA_WEB_OUT}/velmora-threads.worker.js
        ${VELMORA_WEB_OUT}/Data.kqx ${CMAKE_BINARY_DIR}/README.txt ${web_stage}/
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/docs/copyright
        ${web_stage}/licences/velmora-and-data.txt
    COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/libstb-dev/copyright
        ${web_stage}/licences/stb.txt
    COMMAND ${CMAKE_COMMAND} -E copy /usr/share/doc/emscripten/copyright
        ${web_stage}/licences/emscripten-runtime-libraries.txt
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package
        ${CMAKE_COMMAND} -E tar cf ${CMAKE_SOURCE_DIR}/build/package/${web_package}.zip
        --format=zip ${web_package}
    DEPENDS velmora velmora_threads web_page
    COMMENT "Packing ${web_package}.zip")
