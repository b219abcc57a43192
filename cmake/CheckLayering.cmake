# Run as a build step: every quoted #include of the files of one folder of
# the application must stay inside that folder or the folders it may use.
#   -DROOT=<app source folder> -DFOLDER=<folder> -DALLOWED=<a;b;c> -DSTAMP=<file>
cmake_minimum_required(VERSION 3.25)
file(GLOB files ${ROOT}/${FOLDER}/*.cpp ${ROOT}/${FOLDER}/*.h)
set(allowed ${FOLDER} ${ALLOWED})
foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    get_filename_component(dir ${file} DIRECTORY)
    foreach(line ${lines})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
        get_filename_component(target "${dir}/${header}" ABSOLUTE)
        file(RELATIVE_PATH rel ${ROOT} ${target})
        string(REGEX MATCH "^[^/]+" top "${rel}")
        if(rel MATCHES "^\\.\\." OR NOT top IN_LIST allowed)
            message(FATAL_ERROR "${file}: #include \"${header}\" reaches outside what app/${FOLDER} may use "
                                "(${allowed})")
        endif()
    endforeach()
endforeach()
file(TOUCH ${STAMP})
