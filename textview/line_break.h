#pragma once
// How a line of a text ends.
namespace infemora {

enum class LineBreak { None, Lf, Cr, CrLf };

} // namespace infemora
