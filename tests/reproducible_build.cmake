# Builds the deliverables again in a second, fresh folder and checks that
# they are byte for byte the same as those of the first build.
file(REMOVE_RECURSE ${SECOND_BUILD})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${SECOND_BUILD}
          -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  RESULT_VARIABLE configured OUTPUT_QUIET)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "second configure failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${SECOND_BUILD} --target VantorUpdater vreg64 -j 2
  RESULT_VARIABLE built OUTPUT_QUIET)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "second build failed")
endif()
foreach(file VantorUpdater.exe vreg64.dll)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FIRST_BUILD}/bin/${file} ${SECOND_BUILD}/bin/${file}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${file} differs between two builds of the same sources")
  endif()
  message(STATUS "${file}: identical")
endforeach()
file(REMOVE_RECURSE ${SECOND_BUILD})
