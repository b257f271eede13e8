# Writes the GLSL text of INPUT into OUTPUT as the C++ string constant NAME,
# for the OpenGL side of a program whose Vulkan side is compiled to SPIR-V.
# Run as: cmake -DINPUT=... -DOUTPUT=... -DNAME=... -P scene_embed.cmake
file(READ ${INPUT} text)
string(FIND "${text}" ")glsl\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} contains the raw string delimiter )glsl\"")
endif()
file(WRITE ${OUTPUT} "// Generated from ${INPUT} when dovav is built.\n#pragma once\n\n"
                     "inline constexpr char ${NAME}[] = R\"glsl(${text})glsl\";\n")
