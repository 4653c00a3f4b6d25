# Zanthel.Server.manifest, the assembly manifest that lets a host with its
# own manifest use Zanthel.dll without registration. Its GUIDs and versions
# are read from the IDL files, the ones the DLL and its registration are
# built from; ProgIDs and the threading model are those registration.cpp
# writes, which tests/regfree compares with the registry regsvr32 leaves.
set(zanthel_manifest_classes
    "classTray|Zanthel.classTray|"
    "NotifyIcon|Zanthel.NotifyIcon.1|Zanthel.NotifyIcon")

# Appends the manifest's elements for one IDL file to the variables file and
# interfaces; resource is the library's TYPELIB resource in the DLL.
function(zanthel_manifest_elements idl resource file interfaces)
    file(READ ${idl} text)
    # Square brackets would group a CMake list's items.
    string(REPLACE "[" "<" text "${text}")
    string(REPLACE "]" ">" text "${text}")
    string(REGEX MATCHALL "uuid\\([0-9A-Fa-f-]+\\)[^<>;]*>[ \t\r\n]*[a-z]+[ \t\r\n]+[A-Za-z_0-9]+" blocks "${text}")
    set(library "")
    set(elements "")
    set(proxies "")
    foreach(block IN LISTS blocks)
        string(REGEX MATCH "uuid\\(([0-9A-Fa-f-]+)\\)" _ "${block}")
        string(TOUPPER "{${CMAKE_MATCH_1}}" guid)
        string(REGEX MATCH ">[ \t\r\n]*([a-z]+)[ \t\r\n]+([A-Za-z_0-9]+)$" _ "${block}")
        set(kind ${CMAKE_MATCH_1})
        set(name ${CMAKE_MATCH_2})
        if(kind STREQUAL "library")
            string(REGEX MATCH "version\\(([0-9.]+)\\)" _ "${block}")
            set(library ${guid})
            string(APPEND elements "    <typelib tlbid=\"${guid}\" version=\"${CMAKE_MATCH_1}\" helpdir=\"\""
                " resourceid=\"${resource}\"/>\n")
        elseif(kind STREQUAL "coclass")
            set(progids "")
            foreach(class IN LISTS zanthel_manifest_classes)
                string(REPLACE "|" ";" class "${class}")
                list(GET class 0 class_name)
                if(class_name STREQUAL name)
                    list(GET class 1 progid)
                    list(GET class 2 independent)
                    set(progids " progid=\"${progid}\"")
                endif()
            endforeach()
            if(NOT progids)
                message(FATAL_ERROR "${idl}: no ProgID for the class ${name} in component/manifest.cmake")
            endif()
            if(independent)
                string(APPEND elements "    <comClass clsid=\"${guid}\"${progids} threadingModel=\"Apartment\""
                    " tlbid=\"${library}\" description=\"${name}\">\n      <progid>${independent}</progid>\n"
                    "    </comClass>\n")
            else()
                string(APPEND elements "    <comClass clsid=\"${guid}\"${progids} threadingModel=\"Apartment\""
                    " tlbid=\"${library}\" description=\"${name}\"/>\n")
            endif()
        else()
            # Every interface is an automation one: the system's marshaler
            # reads its type library; a dispinterface takes the dispatch one,
            # as registration writes.
            set(marshaler "{00020424-0000-0000-C000-000000000046}")
            if(kind STREQUAL "dispinterface")
                set(marshaler "{00020420-0000-0000-C000-000000000046}")
            endif()
            string(APPEND proxies "  <comInterfaceExternalProxyStub name=\"${name}\" iid=\"${guid}\""
                " tlbid=\"${library}\" proxyStubClsid32=\"${marshaler}\"/>\n")
        endif()
    endforeach()
    set(${file} "${${file}}${elements}" PARENT_SCOPE)
    set(${interfaces} "${${interfaces}}${proxies}" PARENT_SCOPE)
endfunction()

set(ZANTHEL_MANIFEST_VERSION ${PROJECT_VERSION})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(ZANTHEL_MANIFEST_ARCHITECTURE amd64)
else()
    set(ZANTHEL_MANIFEST_ARCHITECTURE x86)
endif()
set(ZANTHEL_MANIFEST_FILE "")
set(ZANTHEL_MANIFEST_INTERFACES "")
zanthel_manifest_elements(${CMAKE_SOURCE_DIR}/component/Zanthel.idl 1 ZANTHEL_MANIFEST_FILE ZANTHEL_MANIFEST_INTERFACES)
zanthel_manifest_elements(${CMAKE_SOURCE_DIR}/component/ZanthelNotify.idl 2 ZANTHEL_MANIFEST_FILE
    ZANTHEL_MANIFEST_INTERFACES)
# Beside the DLL, as the package ships it.
configure_file(${CMAKE_SOURCE_DIR}/component/Zanthel.Server.manifest.in ${CMAKE_BINARY_DIR}/Zanthel.Server.manifest
    @ONLY)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/component/Zanthel.idl ${CMAKE_SOURCE_DIR}/component/ZanthelNotify.idl)
