// CallParams: x{0500, 0x1Fu, // a\
 7, -2147483648LL, 1\
2};