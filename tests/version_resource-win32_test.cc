// The resources of the Windows executables: the manifest that makes their code page UTF-8, and
// the version Windows shows in their properties. The executables are read from the working
// directory.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Executable {
  const char* file;
  const char* description;
};

const Executable kExecutables[] = {
    {FRAMEPACK_FILE, "framepack: converts a video into a frame pack"},
    {INSPECT_FILE, "framepack-inspect: checks and unpacks a frame pack"},
};

// Returns the string value name of the version resource's US English block, or "<none>".
std::string VersionString(const std::vector<char>& info, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::string key = "\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueA(info.data(), key.c_str(), &value, &length) || length == 0) return "<none>";
  return std::string(static_cast<const char*>(value));
}

TEST(VersionResourceTest, EachExecutableCarriesTheProjectsVersion) {
  for (const Executable& executable : kExecutables) {
    SCOPED_TRACE(executable.file);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(executable.file, &ignored);
    ASSERT_NE(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(executable.file, 0, size, info.data()));
    EXPECT_EQ(VersionString(info, "ProductVersion"), VERSION);
    EXPECT_EQ(VersionString(info, "FileVersion"), VERSION);
    EXPECT_EQ(VersionString(info, "FileDescription"), executable.description);
    EXPECT_EQ(VersionString(info, "OriginalFilename"), executable.file);

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    const std::string numbers = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(numbers, VERSION);
  }
}

TEST(VersionResourceTest, EachExecutableAsksForUtf8AsItsCodePage) {
  for (const Executable& executable : kExecutables) {
    SCOPED_TRACE(executable.file);
    HMODULE module = LoadLibraryExA(executable.file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(bytes, SizeofResource(module, found));
    EXPECT_NE(manifest.find(">UTF-8</activeCodePage>"), std::string::npos) << manifest;
    FreeLibrary(module);
  }
}

}  // namespace
