for _ = 1, 200 do
  os.execute("true")
end
