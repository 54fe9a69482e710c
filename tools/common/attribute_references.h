// XML references in the attribute values of a project file. Authors write standard XML: "&quot;",
// "&amp;", "&lt;", "&gt;", "&apos;" and character references such as "&#10;" or "&#x201C;". The
// engine's reader knows one escape only, "&#xHH;" with two hexadecimal digits, which stands for
// that byte of the setup's code page (sxtool db format writes it so). Before the engine's reader
// sees a project, every other reference inside an attribute value is rewritten into that escape;
// the two-digit form stays as it is, and text outside attribute values is left alone.
#pragma once

#include <string>
#include <string_view>

namespace sx::host {
class CodePage;
}

namespace sx::tool {

// `text` is a well-formed document in the code page (checked strictly before). Throws
// ProjectTextError (project_text.h) for a character reference the code page cannot hold.
std::string RewriteAttributeReferences(std::string_view text, const host::CodePage& codePage);

}  // namespace sx::tool
