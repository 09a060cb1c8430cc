/*
 * A day of an imaginary GEM tool talking to its host, as plain SML: each
 * message as the host's log shows it, values and all. It passes
 * gem-messages.TQF:  tqf-tool validate gem-messages.TQF gem-traffic.sml
 */
S1F13W
<L[2] <A "PRB-300"> <A "4.2.1">>.
S1F14
<L[2] <B 0x00> <L[0]>>.
S1F1W.
S1F2
<L[2] <A "PRB-300"> <A "4.2.1">>.
S1F17W.
S1F18
<B 0x00>.
S2F31W
<A "20261209081500">.
S2F32
<B 0x00>.
S2F33W
<L[2] <U4 1> <L[1] <L[2] <U4 100> <L[3] <U4 1001> <U4 1002> <U2 1003>>>>>.
S2F34
<B 0x00>.
S2F35W
<L[2] <U4 2> <L[2] <L[2] <U4 5001> <L[1] <U4 100>>> <L[2] <A "LOTEND"> <L[0]>>>>.
S2F36
<B 0x00>.
S2F37W
<L[2] <BOOLEAN TRUE> <L[0]>>.
S2F38
<B 0x00>.
S1F3W
<L[3] <U4 1001> <U4 1002> <U2 7>>.
S1F4
<L[3] <F4 23.5> <A "IDLE"> <L[2] <U1 1> <U1 2>>>.
S2F13W
<L[1] <U4 300>>.
S2F14
<L[1] <U2 5000>>.
S2F41W
<L[2] <A "START"> <L[1] <L[2] <A "LOTID"> <A "LOT-0042">>>>.
S2F42
<L[2] <B 0x00> <L[0]>>.
S6F11W
<L[3] <U4 3> <U4 5001> <L[1] <L[2] <U4 100> <L[3] <U4 25> <F8 101.325> <A "LOT-0042">>>>>.
S6F12
<B 0x00>.
S6F11
<L[3] <U4 4> <A "LOTEND"> <L[0]>>.
S6F12
<B 0x00>.
S5F1W
<L[3] <B 0x80> <U4 12> <A "CHUCK VACUUM LOW">>.
S5F2
<B 0x00>.
S5F1
<L[3] <B 0x04> <U4 12> <A "CHUCK VACUUM LOW">>.
S5F3W
<L[2] <B 0x80> <U4 12>>.
S5F4
<B 0x00>.
S5F5W
<U4[2] 12 13>.
S5F6
<L[1] <L[3] <B 0x80> <U4 12> <A "CHUCK VACUUM LOW">>>.
S6F1
<L[4] <U4 7> <U4 1> <A "20261209091500"> <L[2] <F4 1.5> <U2 3>>>.
S7F1W
<L[2] <A "RECIPE-A"> <U4 2048>>.
S7F2
<B 0x00>.
S7F3W
<L[2] <A "RECIPE-A"> <B 0x01 0x02 0x03 0x04>>.
S7F4
<B 0x00>.
S7F19W.
S7F20
<L[2] <A "RECIPE-A"> <A "RECIPE-B">>.
S10F3W
<L[2] <B 0x00> <A "Lot 42 done">>.
S10F4
<B 0x00>.
S10F1
<L[2] <B 0x00> <A "Operator ack">>.
S9F7
<B[10] 0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09>.
