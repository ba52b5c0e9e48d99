# Builds the deliverables and the Java binding's jars and POM again in a
# second, fresh folder and checks that they are byte for byte the same as
# those of the first build.
file(REMOVE_RECURSE ${SECOND_BUILD})
execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${SECOND_BUILD}
          -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
  RESULT_VARIABLE configured OUTPUT_QUIET)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "second configure failed")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${SECOND_BUILD} --target VantorUpdater vreg64 vreg64_jars -j 2
  RESULT_VARIABLE built OUTPUT_QUIET)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "second build failed")
endif()
file(GLOB binding RELATIVE ${FIRST_BUILD} ${FIRST_BUILD}/java/vreg64-*.jar ${FIRST_BUILD}/java/vreg64-*.pom)
list(LENGTH binding count)
if(NOT count EQUAL 4)
  message(FATAL_ERROR "the first build has ${count} binding files, not three jars and a POM: ${binding}")
endif()
foreach(file bin/VantorUpdater.exe bin/vreg64.dll ${binding})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FIRST_BUILD}/${file} ${SECOND_BUILD}/${file}
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    message(FATAL_ERROR "${file} differs between two builds of the same sources")
  endif()
  message(STATUS "${file}: identical")
endforeach()
file(REMOVE_RECURSE ${SECOND_BUILD})
