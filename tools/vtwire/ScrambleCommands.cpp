// vtwire scramble / unscramble: the wire text scrambler by hand.
//
//   printf 'secret' | vtwire scramble --hex
//   vtwire scramble --raw < text.bin > scrambled.bin
//   vtwire unscramble --hex <<< 1A2B...

#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "Commands.h"
#include "platform/UTextHelpers.h"
#include "settings/UFunction.h"

namespace vantori::vtwire {

namespace {

std::string ReadStdin() {
  std::cin >> std::noskipws;
  return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
}

// Hex text with any blanks and line breaks between the digits.
bool FromHex(const std::string& text, std::string& out) {
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != '\n' && c != '\r' && c != '\t') digits.push_back(c);
  std::vector<std::uint8_t> bytes;
  if (!HexDecode(digits, bytes)) return false;
  out.assign(bytes.begin(), bytes.end());
  return true;
}

std::string ToHex(const std::string& bytes) {
  return HexEncode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

void DropOneLineEnd(std::string& text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

}  // namespace

void RegisterScrambleCommands(CLI::App& app) {
  struct TOptions {
    bool Hex = false;
    bool FromHex = false;
    bool Raw = false;
    bool ToHex = false;
  };
  auto opts = std::make_shared<TOptions>();

  auto* scramble =
      app.add_subcommand("scramble", "Scramble the text on stdin (cp949 bytes) as the wire does");
  scramble->add_flag("--hex", opts->Hex, "Print the result as hex text");
  scramble->add_flag("--from-hex", opts->FromHex, "Read the text as hex digits");
  scramble->add_flag("--raw", opts->Raw, "Keep a trailing line end of the input");
  scramble->callback([opts] {
    std::string text = ReadStdin();
    if (opts->FromHex) {
      if (!FromHex(text, text)) {
        std::cerr << "vtwire scramble: input is not hex text\n";
        throw CLI::RuntimeError(1);
      }
    } else if (!opts->Raw) {
      DropOneLineEnd(text);
    }
    std::string out;
    try {
      out = ScrambleText(text);
    } catch (const std::exception& e) {
      std::cerr << "vtwire scramble: " << e.what() << '\n';
      throw CLI::RuntimeError(1);
    }
    if (opts->Hex)
      std::cout << ToHex(out) << '\n';
    else
      std::cout << out;
  });

  auto* unscramble = app.add_subcommand("unscramble", "Recover the text of scrambled bytes on stdin");
  unscramble->add_flag("--hex", opts->Hex, "Read the scrambled bytes as hex text");
  unscramble->add_flag("--to-hex", opts->ToHex, "Print the text as hex digits");
  unscramble->callback([opts] {
    std::string in = ReadStdin();
    if (opts->Hex && !FromHex(in, in)) {
      std::cerr << "vtwire unscramble: input is not hex text\n";
      throw CLI::RuntimeError(1);
    }
    std::string text;
    if (!TryUnscrambleText(in, text)) {
      std::cerr << "vtwire unscramble: the scrambled text is shorter than its entries\n";
      throw CLI::RuntimeError(1);
    }
    if (opts->ToHex)
      std::cout << ToHex(text) << '\n';
    else
      std::cout << text;
  });
}

}  // namespace vantori::vtwire
