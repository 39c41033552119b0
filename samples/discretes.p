*PADS-LIBRARY-PART-TYPES-V4*

buzzer BUZ12/5 I UND 1 1 0 0 0
TIMESTAMP 2024.03.11.09.15.02
"Description" Piezo buzzer 12 mm
GATE 1 2 0
BUZ
1 0 B +
2 0 B -

BC547 TO92.3 I TTL 2 1 0 0 0
TIMESTAMP 2024.03.11.09.15.02
"Manufacturer" onsemi
"Description" NPN transistor 45 V
GATE 1 3 0
BC547
1 0 B C
2 0 B B
3 0 B E

PCAPALT,22UF_50V PCAPALT I UND  0   0   0   2     0
TIMESTAMP 2024.03.11.09.15.02
"Value" 22uF
GATE 1 2 0
CAP
1 0 B 1
2 0 B 2

*END*
