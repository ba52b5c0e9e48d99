# The layer order of the product code, from the bottom up, written down once.
# A library may include the headers of the libraries it links, which all lie
# below it; never a header of one above it or beside it (the libraries of
# one entry lie beside each other). The test build.layers (tests/check_layers.py) reads
# every include of the product code and checks it against this order and
# against the libraries each one links. An entry of several libraries names
# them separated by blanks.
set(VANTOR_LAYERS
  # shared by both deliverables
  "vantor_common"
  # VantorUpdater
  "updater_startup_core"
  "updater_startup"
  "updater_jvm_core"
  "updater_download_core"
  "updater_download"
  "updater_jvm"
  "updater_commands_core updater_ui_core"
  "updater_commands updater_ui"
  "updater_app_core"
  "updater_app"
  # vreg64
  "vreg64_core"
  "vreg64_objects")

# Writes <build>/layers.txt for the check: one line per product library of
# this build, "<rank> <library> <its libraries, transitively, by comma>
# <its files, by comma>", files relative to the repository root.
function(vantor_write_layers)
  set(lines "")
  set(rank 0)
  foreach(entry IN LISTS VANTOR_LAYERS)
    string(REPLACE ";" " " entry_libraries "${entry}")
    separate_arguments(entry_libraries)
    foreach(library IN LISTS entry_libraries)
      if(NOT TARGET ${library})
        continue()
      endif()
      _vantor_linked(${library} linked)
      get_target_property(sources ${library} SOURCES)
      get_target_property(folder ${library} SOURCE_DIR)
      set(files "")
      foreach(source IN LISTS sources)
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder} NORMALIZE OUTPUT_VARIABLE absolute)
        cmake_path(RELATIVE_PATH absolute BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE relative)
        list(APPEND files ${relative})
      endforeach()
      string(REPLACE ";" "," linked "${linked}")
      string(REPLACE ";" "," files "${files}")
      string(APPEND lines "${rank} ${library} ${linked}, ${files}\n")
    endforeach()
    math(EXPR rank "${rank} + 1")
  endforeach()
  file(WRITE ${CMAKE_BINARY_DIR}/layers.txt "${lines}")
endfunction()

# The project libraries that <library> links, directly or through others.
function(_vantor_linked library out)
  set(seen "")
  set(queue ${library})
  while(queue)
    list(POP_FRONT queue current)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
      get_target_property(linked ${current} ${property})
      if(NOT linked)
        continue()
      endif()
      foreach(item IN LISTS linked)
        if(TARGET ${item} AND NOT item IN_LIST seen AND NOT item STREQUAL library)
          get_target_property(imported ${item} IMPORTED)
          if(NOT imported)
            list(APPEND seen ${item})
            list(APPEND queue ${item})
          endif()
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} "${seen}" PARENT_SCOPE)
endfunction()
