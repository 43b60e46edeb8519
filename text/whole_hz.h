#pragma once
// Rates in messages.
#include <string>

// A rate as whole Hz, the fraction dropped: 48000.7 is "48000". Values no
// integer type holds are still shown exactly ("1000000000000000019884624838656"
// for 1e30); infinities are "inf" and "-inf", not-a-number is "nan".
std::string wholeHz(double rate);
