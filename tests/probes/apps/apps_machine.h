// Seeds the registry keys and files of document programs for the apps tests
// and removes them afterwards.
#pragma once
#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

class AppsMachine {
 public:
  // Keys land in this program's own view unless a view is given: a 32-bit
  // test program under WOW64 seeds what a 32-bit Report reads by default.
  explicit AppsMachine(REGSAM view = 0) : view_(view) {}

  // A fresh key under root; removed, with everything below it, at the end.
  // Asking again for the same key keeps what it holds.
  ScratchKey& Key(HKEY root, const std::string& path) { return Key(root, path, view_); }
  ScratchKey& Key(HKEY root, const std::string& path, REGSAM view) {
    for (auto& key : keys_)
      if (key->root() == root && _stricmp(key->path().c_str(), path.c_str()) == 0) return *key;
    keys_.push_back(std::make_unique<ScratchKey>(root, path, view));
    return *keys_.back();
  }
  // extension -> ProgID -> CLSID -> server key (InprocServer32 / LocalServer32,
  // optionally under Wow6432Node) holding `server` as its default value.
  void RegisterByProgId(const std::string& extension, const std::string& progId, const std::string& clsid,
                        const std::string& serverKind, const std::string& server, bool wow6432 = false) {
    Key(HKEY_CLASSES_ROOT, extension).SetString("", nullptr, progId);
    Key(HKEY_CLASSES_ROOT, progId).SetString("CLSID", nullptr, clsid);
    RegisterClsid(clsid, serverKind, server, wow6432);
  }
  // extension "Content Type" -> MIME database CLSID -> server.
  void RegisterByContentType(const std::string& extension, const std::string& contentType, const std::string& clsid,
                             const std::string& serverKind, const std::string& server) {
    Key(HKEY_CLASSES_ROOT, extension).SetString("", "Content Type", contentType);
    Key(HKEY_CLASSES_ROOT, "MIME\\Database\\Content Type\\" + contentType).SetString("", "CLSID", clsid);
    RegisterClsid(clsid, serverKind, server, false);
  }
  void RegisterClsid(const std::string& clsid, const std::string& serverKind, const std::string& server,
                     bool wow6432) {
    Key(HKEY_CLASSES_ROOT, (wow6432 ? "Wow6432Node\\CLSID\\" : "CLSID\\") + clsid)
        .SetString(serverKind, nullptr, server);
  }

 private:
  REGSAM view_;
  std::vector<std::unique_ptr<ScratchKey>> keys_;
};

// Copies a file; the copy is removed with its ScratchDir.
inline std::string CopyInto(const std::string& source, const std::string& target) {
  const std::string folder = target.substr(0, target.find_last_of('\\'));
  CreateDirectoryA(folder.c_str(), nullptr);
  CopyFileA(source.c_str(), target.c_str(), FALSE);
  return target;
}

inline bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether this Wine can show top-level windows (it needs a display).
inline bool CanCreateTopLevelWindows() {
  HWND w = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  if (w == nullptr) return false;
  DestroyWindow(w);
  return true;
}

// Number of times needle occurs in text.
inline int CountOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++n;
  return n;
}
