# Fails when a source file of the program's own layers reaches a toolkit or window-system header,
# directly or through the project's headers it includes: those layers stand on the framework in
# platform/ alone, and each widgetset (platform/qt, platform/win32, platform/x11) keeps its
# toolkit to itself.
#
#   cmake -DROOT=<source tree> [-DFOLDERS="app;shell"] -P CheckIncludes.cmake

if(NOT DEFINED ROOT)
  message(FATAL_ERROR "ROOT is not set")
endif()
# The layers: folders (with their subfolders), or patterns of files. The framework's own files
# lie beside its widgetsets' folders, so they are named by pattern.
if(NOT DEFINED FOLDERS)
  set(FOLDERS app shell surface platform/raster "platform/*.h" "platform/*.cpp")
endif()

# <QWidget>, <QtCore/qstring.h>, <qpa/...>, <windows.h> and the rest of the Win32 API, <xcb/...>,
# <X11/...>, <gtk/...>; and the widgetsets' own headers.
set(TOOLKIT_SYSTEM "^(Q[A-Za-z]*|Qt[A-Za-z]*/.*|qpa/.*|private/q.*|windows\\.h|win[a-z]*\\.h|commctrl\\.h|commdlg\\.h|shellapi\\.h|richedit\\.h|imm\\.h|wincodec\\.h|xcb/.*|X11/.*|gtk/.*|gdk/.*|wayland-.*)$")
set(TOOLKIT_PROJECT "^platform/(qt|win32|x11)/")

# Sets <out> to the first toolkit include reachable from <file>, as a chain "a -> b -> <Q...>",
# or to "" when there is none. Results are kept per file.
function(find_toolkit file out)
  get_property(known GLOBAL PROPERTY "toolkit:${file}" SET)
  if(known)
    get_property(chain GLOBAL PROPERTY "toolkit:${file}")
    set(${out} "${chain}" PARENT_SCOPE)
    return()
  endif()
  set_property(GLOBAL PROPERTY "toolkit:${file}" "")  # a cycle ends here
  set(found "")
  file(STRINGS "${ROOT}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  foreach(line IN LISTS lines)
    if(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
      if(CMAKE_MATCH_1 MATCHES "${TOOLKIT_SYSTEM}")
        set(found "${file} -> <${CMAKE_MATCH_1}>")
        break()
      endif()
    elseif(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      if(header MATCHES "${TOOLKIT_PROJECT}")
        set(found "${file} -> \"${header}\"")
        break()
      endif()
      if(EXISTS "${ROOT}/${header}")
        find_toolkit("${header}" chain)
        if(chain)
          set(found "${file} -> ${chain}")
          break()
        endif()
      endif()
    endif()
  endforeach()
  set_property(GLOBAL PROPERTY "toolkit:${file}" "${found}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(failures "")
set(checked 0)
foreach(folder IN LISTS FOLDERS)
  if(folder MATCHES "[*]")
    file(GLOB sources RELATIVE "${ROOT}" "${ROOT}/${folder}")
  elseif(NOT IS_DIRECTORY "${ROOT}/${folder}")
    if(NOT EXISTS "${ROOT}/${folder}")
      message(FATAL_ERROR "${folder} is not in ${ROOT}")
    endif()
    set(sources "${folder}")
  else()
    file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
  endif()
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    find_toolkit("${source}" chain)
    if(chain)
      string(APPEND failures "  ${chain}\n")
    endif()
  endforeach()
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "no sources found in ${FOLDERS} under ${ROOT}")
endif()
if(failures)
  message(FATAL_ERROR "These files reach a toolkit or window-system header:\n${failures}")
endif()
list(JOIN FOLDERS ", " checkedNames)
message(STATUS "${checked} files of ${checkedNames} reach no toolkit header")
