# Sourced: the build folders of the build type in GATEWISE_BUILD_TYPE (the
# project's default type when it is empty).
build_type=${GATEWISE_BUILD_TYPE:-}
build_root=$root/build${build_type:+/$build_type}
windows_build=$build_root/windows
native_build=$build_root/native
build_type_option=${build_type:+-DCMAKE_BUILD_TYPE=$build_type}
