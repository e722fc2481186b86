// Build tool: compiles an HLSL file with the system's shader compiler
// (D3DCompile) and writes its byte code as a C++ array.
//   shader_compiler SOURCE.hlsl TARGET NAME OUTPUT.h     (TARGET: vs_4_0_level_9_1 ...)
#include <windows.h>
// after windows.h
#include <d3dcompiler.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: shader_compiler SOURCE TARGET NAME OUTPUT\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string source(std::istreambuf_iterator<char>(in), {});
  if (source.empty()) {
    std::fprintf(stderr, "%s: cannot read\n", argv[1]);
    return 1;
  }
  ID3DBlob* code = nullptr;
  ID3DBlob* errors = nullptr;
  const HRESULT result = D3DCompile(source.data(), source.size(), argv[1], nullptr, nullptr, "main",
                                    argv[2], D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &errors);
  if (FAILED(result)) {
    std::fprintf(stderr, "%s: %08lx %s\n", argv[1], static_cast<unsigned long>(result),
                 errors != nullptr ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    return 1;
  }
  std::string text = "// Generated from " + std::string(argv[1]) + " (" + argv[2] +
                     ") by shader_compiler.\n#pragma once\n\ninline constexpr unsigned char " +
                     argv[3] + "[] = {";
  const auto* bytes = static_cast<const unsigned char*>(code->GetBufferPointer());
  for (size_t i = 0; i < code->GetBufferSize(); ++i) {
    text += (i % 16 == 0 ? "\n    " : " ") + std::to_string(bytes[i]) + ",";
  }
  text += "\n};\n";
  code->Release();
  std::ofstream out(argv[4], std::ios::binary);
  out << text;
  return out.good() ? 0 : 1;
}
