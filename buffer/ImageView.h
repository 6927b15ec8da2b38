#pragma once
// What the memory image and its files do to the screen: the grid, the status panel and the
// warnings and questions of loading and saving. The windows implement it; tests fake it. Texts
// are UTF-8.

#include <cstddef>
#include <string>

namespace kestrel {

// Answers of a question box.
enum class Answer { Yes, No, Cancel };

class ImageView {
 public:
  virtual ~ImageView() = default;

  // The grid StringGrid1: the image's length or content changed.
  virtual void FormatGrid() = 0;
  // The grid StringGrid1: the `count` bytes from `first` on changed, the image's length did not.
  virtual void BytesChanged(std::size_t first, std::size_t count) = 0;

  // The main window's status panel.
  virtual void SetStatusText(const std::string& text) = 0;

  // Modal message boxes.
  virtual void ShowWarning(const std::string& text) = 0;
  virtual Answer AskYesNo(const std::string& text) = 0;        // question icon, Yes/No
  virtual Answer AskYesNoCancel(const std::string& text) = 0;  // question icon, Yes/No/Cancel
};

}  // namespace kestrel
