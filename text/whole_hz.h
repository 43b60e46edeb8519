#pragma once
// Rates in messages.
#include <string>

// A rate as whole Hz, the fraction dropped: 48000.7 is "48000". Values no
// integer type holds are still shown exactly ("1000000000000000019884624838656"
// for 1e30); infinities are "inf" and "-inf", not-a-number is "nan".
std::string wholeHz(double rate);

// A rate someone asked for, as they asked it: the shortest decimal that reads
// back as the same number, with no exponent ("44100.4", "48000"), so that a
// refusal names the rate asked, not a neighbour. Otherwise as wholeHz.
std::string askedHz(double rate);
