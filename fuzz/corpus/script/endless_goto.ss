VARSET A 1

# comment
:L1 # label comment
GOTO "l1"
