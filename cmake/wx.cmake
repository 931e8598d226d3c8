# wxWidgets through wx-config, as two interface targets: the engine may only
# link the base library, so the linker proves it never reaches the GUI.
find_program(WX_CONFIG wx-config REQUIRED)

function(vocalith_wx_target name libs)
  execute_process(COMMAND ${WX_CONFIG} --cxxflags ${libs}
                  OUTPUT_VARIABLE cflags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${WX_CONFIG} --libs ${libs}
                  OUTPUT_VARIABLE lflags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(cflags UNIX_COMMAND "${cflags}")
  separate_arguments(lflags UNIX_COMMAND "${lflags}")
  set(includes "")
  set(defs "")
  set(other "")
  foreach(f IN LISTS cflags)
    if(f MATCHES "^-I(.*)")
      list(APPEND includes "${CMAKE_MATCH_1}")
    elseif(f STREQUAL "-DwxUSE_GUI=0")
      # Left out so engine and GUI code see one wx configuration; linking the
      # base library alone still proves the engine never reaches the GUI.
    elseif(f MATCHES "^-D(.*)")
      list(APPEND defs "${CMAKE_MATCH_1}")
    else()
      list(APPEND other "${f}")
    endif()
  endforeach()
  add_library(${name} INTERFACE)
  # System includes: the toolkit's own headers must not trip -Werror.
  target_include_directories(${name} SYSTEM INTERFACE ${includes})
  target_compile_definitions(${name} INTERFACE ${defs})
  target_compile_options(${name} INTERFACE ${other})
  target_link_libraries(${name} INTERFACE ${lflags})
endfunction()

vocalith_wx_target(wx_base "base")
vocalith_wx_target(wx_core "core,base")
