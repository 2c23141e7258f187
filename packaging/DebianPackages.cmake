# The Debian packages, split as Debian splits such things: one runtime package per shared
# library, the tools, the development files, the Designer plugin and the sample.
# scripts/package.sh builds them with `cpack`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ombrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${OMBRIX_MAKER}")
set(CPACK_PACKAGE_CONTACT "${OMBRIX_COMMENTS} <${OMBRIX_AUTHOR_EMAIL}>")
set(CPACK_PACKAGE_HOMEPAGE_URL "${OMBRIX_WEB_ADDRESS}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# Our own libraries are found in the build tree; the packages that carry them come from the
# component dependencies below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${PROJECT_BINARY_DIR}/lookup ${PROJECT_BINARY_DIR}/control)
set(CPACK_STRIP_FILES ON)

# The headless build packages the lookup library and mxlookup alone.
set(CPACK_COMPONENTS_ALL lookup_runtime tools lookup_development)
if(OMBRIX_BUILD_GUI)
    list(APPEND CPACK_COMPONENTS_ALL control_runtime development designer sample)
endif()

string(TIMESTAMP copyright_year "%Y" UTC)
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)

# Every package carries its copyright file and its changelog in its own doc folder.
function(ombrix_package component name section summary description)
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${name} PARENT_SCOPE)
    set(CPACK_DEBIAN_${upper}_PACKAGE_SECTION ${section} PARENT_SCOPE)
    set(CPACK_COMPONENT_${upper}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)

    set(docs ${CMAKE_CURRENT_BINARY_DIR}/doc/${name})
    set(package ${name})
    configure_file(copyright.in ${docs}/copyright @ONLY)
    configure_file(changelog.in ${docs}/changelog @ONLY)
    add_custom_command(OUTPUT ${docs}/changelog.gz
        COMMAND gzip -9nf ${docs}/changelog -c > ${docs}/changelog.gz
        DEPENDS ${docs}/changelog
        VERBATIM)
    add_custom_target(${name}_changelog ALL DEPENDS ${docs}/changelog.gz)
    install(FILES ${docs}/copyright ${docs}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${name} COMPONENT ${component})
endfunction()

# A runtime library package says which package provides its soname (shlibs) and has the
# loader's cache refreshed by a trigger, not by its own scripts.
function(ombrix_library_control component target package)
    string(TOUPPER ${component} upper)
    get_target_property(soversion ${target} SOVERSION)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
        set(name ${target})
    endif()
    set(control ${CMAKE_CURRENT_BINARY_DIR}/control/${package})
    file(WRITE ${control}/shlibs "lib${name} ${soversion} ${package} (>= ${PROJECT_VERSION})\n")
    file(WRITE ${control}/triggers "activate-noawait ldconfig\n")
    set(CPACK_DEBIAN_${upper}_PACKAGE_CONTROL_EXTRA ${control}/shlibs ${control}/triggers
        PARENT_SCOPE)
endfunction()

# The runtime package is named after the soname, which follows the library's own ABI.
get_target_property(lookup_soversion ombrix_lookup SOVERSION)
ombrix_package(lookup_runtime libombrix-lookup${lookup_soversion} libs
    "mail-exchanger lookup library"
    "Sends one MX query to a DNS server and returns the mail exchangers of a\ndomain ordered by preference, with the best one.")
ombrix_package(lookup_development libombrix-lookup-dev libdevel
    "mail-exchanger lookup library - development files"
    "Headers, the CMake package (find_package(Ombrix COMPONENTS lookup)) and the\npkg-config file of the lookup library.")
ombrix_library_control(lookup_runtime ombrix_lookup libombrix-lookup${lookup_soversion})
set(CPACK_COMPONENT_LOOKUP_DEVELOPMENT_DEPENDS lookup_runtime)

if(NOT OMBRIX_BUILD_GUI)
    ombrix_package(tools ombrix-tools net
        "mail-exchanger lookup tool"
        "mxlookup asks a DNS server for the mail exchangers of a domain.")
    include(CPack)
    return()
endif()

ombrix_package(tools ombrix-tools net
    "mail-exchanger lookup and component registration tools"
    "mxlookup asks a DNS server for the mail exchangers of a domain;\ncomponent-registry registers, lists and describes component server libraries.")
ombrix_package(control_runtime libombrix1 libs
    "mail-exchanger lookup control"
    "The mxquery control (Ombrix.mxquery) for programs that host components,\nregistered for every user of the system.")
ombrix_package(development libombrix-dev libdevel
    "component layer and mxquery widgets - development files"
    "The component layer's archives and headers, for hosting controls and writing\ncomponent servers (find_package(Ombrix COMPONENTS component)), and the mxquery\nform widget with its typed host wrapper (COMPONENTS widgets).")
ombrix_package(designer ombrix-designer-plugin devel
    "mail-exchanger lookup control - Qt Designer plugin"
    "Puts the mxquery control into the widget box of Qt Designer.")
ombrix_package(sample ombrix-sample net
    "mail-exchanger lookup control - sample program"
    "A window that hosts the mxquery control and shows the mail exchangers of\na domain.")
ombrix_library_control(control_runtime ombrix libombrix1)

set(CPACK_COMPONENT_CONTROL_RUNTIME_DEPENDS lookup_runtime)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS lookup_development)
set(CPACK_COMPONENT_DESIGNER_DEPENDS control_runtime)
set(CPACK_COMPONENT_SAMPLE_DEPENDS control_runtime)
# The exported component archives host Qt widgets.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "qt6-base-dev")

include(CPack)
