#pragma once
// The rest of the program as the file actions (shell/browser/FileActions.h) see it: the
// services implement it for the main window.
#include <string>

namespace qm {

class TIniFile;

enum TFileAction : int { faOpen = 0, faCopy = 1, faMove = 2, faRename = 3, faRecycle = 4 };

// The first, previous, next or last readable image of a file's folder.
enum TSiblingFile : int { sfFirst = 0, sfPrevious = 1, sfNext = 2, sfLast = 3 };

// The rest of the program as the file actions see it. Every member has a default that
// suits a program without windows.
class TFileActionHost {
 public:
  virtual ~TFileActionHost() = default;
  // While the image browser scans a folder, folder navigation is refused.
  virtual bool IsBrowserScanning() { return false; }
  // The settings file the copy-to-folder dialog remembers its folder in (may be null),
  // and the folder it offers when none is remembered.
  virtual TIniFile* SettingsFile() { return nullptr; }
  virtual std::string LastUsedFolder() { return {}; }
  // The target folder of a copy or a move; false when cancelled. The default asks with
  // the copy-to-folder dialog.
  virtual bool ChooseTargetFolder(const std::string& caption, const std::string& message, std::string& folder);
  // A file now lives under another name (moved or renamed): a document window holding
  // it, the recent-files list and the browser follow.
  virtual void FileRenamed(const std::string& /*from*/, const std::string& /*to*/) {}
  // A file went to the trash: a window holding it is closed without a question, its
  // recent-files entry removed, the browser item dropped.
  virtual void FileRecycled(const std::string& /*name*/) {}
};

}  // namespace qm
