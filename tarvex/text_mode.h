#pragma once
// The C runtime's narrow text mode, as it hands out a file's bytes: CR LF
// becomes LF (a CR before anything else stays), and Ctrl-Z ends the text.

#include <stddef.h>

class TextModeDecoder {
 public:
  // Decodes the next raw bytes into out (room for length + 1 bytes); returns
  // how many bytes of text came out.
  size_t decode(const char* raw, size_t length, char* out);

  // The text still held back at the end of the file (a final CR), into out
  // (room for 1 byte); returns its length.
  size_t finish(char* out);

  // True once Ctrl-Z has ended the text.
  bool ended() const { return ended_; }

 private:
  bool pending_cr_ = false;
  bool ended_ = false;
};
