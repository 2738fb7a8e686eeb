# The Python package vexaio (python/vexaio): installed with the library, and
# its pytest suite run as one CTest test. Every .py file of the package is
# installed (vexaio.dask among them; it needs Dask only when imported).

# The package goes to lib/python3/dist-packages under the prefix (Debian's
# folder for /usr); VEXA_PYTHON_INSTALL_DIR names another. The installed copy
# finds the installed library through _installed.py, written here.
set(VEXA_PYTHON_INSTALL_DIR "lib/python3/dist-packages" CACHE STRING
    "Folder for the Python package vexaio, relative to the prefix or absolute")
set(vexa_soname libvexaio.so.${PROJECT_VERSION_MAJOR})
if(IS_ABSOLUTE "${VEXA_PYTHON_INSTALL_DIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VEXA_PYTHON_LIBRARY "${CMAKE_INSTALL_FULL_LIBDIR}/${vexa_soname}")
else()
  file(RELATIVE_PATH VEXA_PYTHON_LIBRARY /prefix/${VEXA_PYTHON_INSTALL_DIR}/vexaio
       /prefix/${CMAKE_INSTALL_LIBDIR}/${vexa_soname})
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vexaio_installed.py.in
               ${PROJECT_BINARY_DIR}/python/_installed.py @ONLY)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/vexaio DESTINATION ${VEXA_PYTHON_INSTALL_DIR}
        FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "_installed.py" EXCLUDE PATTERN "__pycache__" EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/python/_installed.py DESTINATION ${VEXA_PYTHON_INSTALL_DIR}/vexaio)

# The interpreter for the tests: VEXA_PYTHON if given, else the first of
# Debian's python3 and the one on the PATH that has pytest, NumPy and pandas.
function(vexa_find_test_python out)
  find_program(path_python python3)
  foreach(candidate ${VEXA_PYTHON} /usr/bin/python3 ${path_python})
    execute_process(COMMAND ${candidate} -c "import pytest, numpy, pandas"
                    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(rc EQUAL 0)
      set(${out} ${candidate} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()
