local function f(n) if n < 500000 then return n + 1 else return n - 1 end end
local i = 0
local s = 0
for _ = 1, 1000000 do i = i + 1 s = f(i) end
print(s)
