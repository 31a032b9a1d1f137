local x = 1
local r
for _ = 1, 1000000 do
  r = {x + 1, x + 2, x + 3, x + 4, x + 5, x + 6, x + 7, x + 8, x + 9, x + 10}
end
print(table.concat(r, " "))
