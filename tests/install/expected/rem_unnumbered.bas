REM Мигалка: светодиод мигает, пока нажата кнопка
REM Выводы платы
0100 IF PIN 3,2=0 THEN GOTO 100
0101 PORT 1,0=1
0102 GOSUB 1000
0103 PORT 1,0=0
0104 GOSUB 1000
0105 GOTO 100
REM Пауза на 250 циклов
1000 FOR I=1 TO 250
1001 NEXT I
1002 RETURN
