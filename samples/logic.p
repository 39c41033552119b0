*PADS-LIBRARY-PART-TYPES-V4*

74LS00 SO14:DIP14 I TTL 3 1 0 0 0
TIMESTAMP 2024.03.11.09.15.02
"Manufacturer" Texas Instruments
"Description" Quad 2-input NAND gate
"Value" 
GATE 1 5 0
74LS00
1 0 L 1A
2 0 L 1B
3 0 S 1Y
7 0 G GND
14 0 P VCC

BAT54S SOT23 I DIO 2 1 0 0 0
TIMESTAMP 2024.03.11.09.15.02
"Manufacturer" Nexperia
"Description" Dual Schottky diode, series
GATE 1 3 0
BAT54S
1 0 B A1
2 0 B K2
3 0 B K1A2

7805T TO220 I REG 2 1 0 0 0
TIMESTAMP 2024.03.11.09.15.02
"Manufacturer" ON Semiconductor
"Description" 5 V 1 A linear regulator
GATE 1 3 0
7805T
1 0 P IN
2 0 G GND
3 0 P OUT

LM324 SO14 I ANA 2 1 0 0 0
TIMESTAMP 2024.03.11.09.15.02
"Manufacturer" Texas Instruments
"Description" Quad op-amp, Class I device
GATE 1 2 0
LM324
4 0 P V+
11 0 G V-

*END*
