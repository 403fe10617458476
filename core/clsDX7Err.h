// DirectX error numbers to constant names and one-sentence descriptions, one lookup per DirectX
// component the program uses. The final error report asks immediate mode, then DirectDraw, then
// DirectSound.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct DxErrorRow {
    std::string_view name;
    int32_t number;
    std::string_view description;
};

// The fixed tables behind the lookups, in lookup order.
std::span<const DxErrorRow> D3DIMErrorRows();
std::span<const DxErrorRow> DDrawErrorRows();
std::span<const DxErrorRow> DSoundErrorRows();

// Stateless: each lookup sets ExactErrorReturn to the matching constant's name (the first row
// with that number) or "<NONE>", and returns the description or the lookup's fallback sentence.
class clsDX7Err {
  public:
    std::string RetD3DIMErrorDesc(int32_t ErrorNumber, std::string& ExactErrorReturn) const;
    std::string RetDDrawErrorDesc(int32_t ErrorNumber, std::string& ExactErrorReturn) const;
    std::string RetDSoundErrorDesc(int32_t ErrorNumber, std::string& ExactErrorReturn) const;
};

// The message box shown when the program ends on an error.
struct ErrorMessage {
    std::string title, text;
};

// Names the DirectX constant when one of the tables knows the number; otherwise the text is the
// run-time's own description. The title carries the number as a signed decimal.
ErrorMessage DescribeError(int32_t number, const std::string& runtimeDescription);
