#pragma once
// The one reader of mobile numbers as users write them: "+86 138 1234 5678",
// "138-1234-5678", "(0086)13812345678", "１３８１２３４５６７８". Every way a number comes into
// the program (typed, pasted, files, spreadsheets, contacts, the opt-out list, the command
// line) goes through these two. Pure functions of GBK text; safe from any thread; linear in
// the text's length.
//
// Digits are ASCII or full-width (GBK A3B0-A3B9). Digit groups may be joined by up to three
// blanks, dashes, dots, parentheses or plus signs (ASCII or full-width). A leading 86 or
// 0086 is a country code. A number never takes digits from a longer digit run: an order
// number, an ID number or a card number gives nothing. Whether 11 digits are a mobile
// number is the phone-number rules' decision (IsMobileNumber), never the reader's own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace smsc {

// One entry (a typed number, a spreadsheet cell, a line of a list): its 11 digits when the
// whole entry, blanks around it aside, is one mobile number; nullopt otherwise.
std::optional<std::string> ReadMobileNumber(std::string_view gbk);

// A typed number: 1 to 12 digits as typed (blanks around it dropped), or else a mobile number
// written any way, as its 11 digits; nullopt otherwise.
std::optional<std::string> ReadTypedNumber(std::string_view gbk);

// Every mobile number written in a free text, in order, repeats included. Which 11-digit
// runs count is the extraction rule's (ExtractMobileNumbers), so a text of plain numbers
// gives what it always gave.
std::vector<std::string> FindMobileNumbers(std::string_view gbk);
// The same, appended to `numbers`; returns how many were appended.
size_t AppendMobileNumbers(std::string_view gbk, std::vector<std::string>& numbers);

}  // namespace smsc
