# The correction programs are compiled from GLSL 450 to SPIR-V when the
# library is built and compiled into it as arrays of 32-bit words; nothing is
# compiled at run time.
set(kz_spirv_dir ${CMAKE_CURRENT_BINARY_DIR}/vulkan_programs)
set(kz_spirv_headers)
set(kz_spirv_includes
  ${CMAKE_CURRENT_SOURCE_DIR}/vulkan/shaders/uniform_block.glsl
  ${CMAKE_CURRENT_SOURCE_DIR}/vulkan/shaders/correction_colour.glsl
  ${CMAKE_CURRENT_SOURCE_DIR}/vulkan/shaders/correction_table.glsl)
# Static, Dynamic: the mesh programs; Bake writes a static channel's table
# (with the static vertex program); Flat draws from the table.
foreach(program Static.vert Static.frag Dynamic.vert Dynamic.frag Bake.frag Flat.vert Flat.frag)
  string(REPLACE "." ";" parts ${program})
  list(GET parts 0 kind)
  list(GET parts 1 stage)
  string(TOLOWER ${kind} kind_lower)
  set(name kzShaderCorrection${kind}Vulkan_450_${stage})
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/vulkan/shaders/correction_${kind_lower}.${stage})
  set(header ${kz_spirv_dir}/${name}.h)
  add_custom_command(
    OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${kz_spirv_dir}
    COMMAND ${GLSLANG_VALIDATOR} --quiet -V --target-env vulkan1.0 --vn ${name} -o ${header} ${source}
    DEPENDS ${source} ${kz_spirv_includes}
    COMMENT "Compiling ${name} to SPIR-V"
    VERBATIM)
  list(APPEND kz_spirv_headers ${header})
endforeach()
target_sources(kzLibObjects PRIVATE ${kz_spirv_headers})
target_include_directories(kzLibObjects PRIVATE ${kz_spirv_dir})
