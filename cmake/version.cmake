# The version resource takes its numbers from project(... VERSION ...), the
# one place the version is set. The text form is the one hosts have always
# read: major, minor in two digits, the fourth number in four ("2.00.0001"),
# so the third number has no place in it and must stay 0.
if(NOT PROJECT_VERSION_PATCH EQUAL 0)
    message(FATAL_ERROR "The version text has no place for a third number: keep it 0 (${PROJECT_VERSION})")
endif()

function(zanthel_zero_pad value width result)
    string(LENGTH "${value}" length)
    set(zeros "")
    if(length LESS width)
        math(EXPR missing "${width} - ${length}")
        string(REPEAT 0 ${missing} zeros)
    endif()
    set(${result} "${zeros}${value}" PARENT_SCOPE)
endfunction()

zanthel_zero_pad(${PROJECT_VERSION_MINOR} 2 ZANTHEL_VERSION_MINOR_TEXT)
zanthel_zero_pad(${PROJECT_VERSION_TWEAK} 4 ZANTHEL_VERSION_TWEAK_TEXT)
set(ZANTHEL_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${ZANTHEL_VERSION_MINOR_TEXT}.${ZANTHEL_VERSION_TWEAK_TEXT}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/zanthel_version.h.in ${ZANTHEL_GENERATED}/zanthel_version.h @ONLY)
