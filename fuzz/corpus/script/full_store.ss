VARSET BIG "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
VARSET I 100
:LOOP
INTERPRET 'VARSET V%I% "%BIG%"'
COMPUTE I = I + 1
IF I < 500 GOTO LOOP
