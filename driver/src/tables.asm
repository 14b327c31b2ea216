; Note tables.

; OPM key code note field for the 12 semitones from C# up to C (the chip's
; octave starts at C#; codes 3, 7, 11 and 15 are unused).
opmNoteCodes:
        db 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14

; PSG tone periods for notes 24 (C1) to 119 (B8) at a 2 MHz chip clock:
; period = round(2000000 / (16 x frequency)), A4 = 440 Hz.
psgPeriods:
        dw 3822, 3608, 3405, 3214, 3034, 2863, 2703, 2551, 2408, 2273, 2145, 2025   ; octave 1
        dw 1911, 1804, 1703, 1607, 1517, 1432, 1351, 1276, 1204, 1136, 1073, 1012   ; octave 2
        dw 956, 902, 851, 804, 758, 716, 676, 638, 602, 568, 536, 506   ; octave 3
        dw 478, 451, 426, 402, 379, 358, 338, 319, 301, 284, 268, 253   ; octave 4
        dw 239, 225, 213, 201, 190, 179, 169, 159, 150, 142, 134, 127   ; octave 5
        dw 119, 113, 106, 100, 95, 89, 84, 80, 75, 71, 67, 63   ; octave 6
        dw 60, 56, 53, 50, 47, 45, 42, 40, 38, 36, 34, 32   ; octave 7
        dw 30, 28, 27, 25, 24, 22, 21, 20, 19, 18, 17, 16   ; octave 8
