/*
 * Messages of an imaginary wafer prober, written in the styles that
 * equipment manuals and SECS libraries print SML in: templates with
 * names in place of values, examples with values, and everything between.
 */

// Templates, as a manual's message reference prints them.
AreYouThere: 'S1F1' W.

OnLineData: 'S1F2'
  <L[2]
    <A[20] MDLN>
    <A[20] SOFTREV>
  >.

SelectedEquipmentStatusRequest:S1F3 W
  <L[n]
    <U4 SVID>
  >.

s1f4
  <L n
    <V SV>
  >.

'S1F13' W
  <L [2]
    <A MDLN>    // model name
    <A SOFTREV> // software revision
  >
.

S2F41 W
<L[2]
  <A[40] RCMD>
  <L[n]
    <L[2]
      <A[40] CPNAME>
      <A CPVAL>
    >
  >
>.

S2F42
<L[2]
  <B[1] HCACK>
  <L[n]
    <L[2] <A CPNAME> <B CPACK>>
  >
>.

// Examples with values, as a simulator logs them.
S1F2 <L <A "PROBER-9"> <A 'R2.01'>>.

S1F14 <L <B 0x00> <L <A "PROBER-9"> <A "R2.01">>>.

S5F1 W
<L[3]
  <B 0x82>                 /* ALCD: set, category 2 */
  <U4 3001>
  <A "CHUCK TEMP HIGH">
>.

S6F11 W
<L[3]
  <U4 17>
  <U4 4001>
  <L[1]
    <L[2]
      <U4 1>
      <L <U2 300 301> <F4 23.5 -1.25e2> <Boolean TRUE> <I1 -5> <U8 0b1010>>
    >
  >
>.

S6F12 <BINARY 0>.

S7F19 W.

S10F3 <L <B[1] TID> <JIS8 "ﾃｽﾄ">>.

AreYouThereReply: S1F2 <L>.
