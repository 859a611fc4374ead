-- The real client: Neovim starts kestrel-lsp through editors/vim's module kestrel.lsp, as the
-- README configures it, on a sample project, waits for its diagnostics, asks for a definition, a
-- hover and a rename, applies the rename, converts a numbered program, and checks every answer.
-- Any failure ends Neovim with status 1.
local function check(condition, what)
  if not condition then error(what, 2) end
end

-- The one kestrel-lsp client attached to a buffer, once it has started.
local function client_of(buffer)
  local attached = {}
  vim.wait(10000, function()
    attached = vim.tbl_keys(vim.lsp.buf_get_clients(buffer))
    return #attached > 0
  end, 20)
  check(#attached == 1, vim.api.nvim_buf_get_name(buffer) .. " (filetype '"
          .. vim.bo[buffer].filetype .. "') has " .. #attached .. " clients, not one")
  return attached[1]
end

local function run()
  local root = assert(os.getenv("KESTREL_PROJECT"))
  require("kestrel.lsp").setup({
    root = function() return root end,
    settings = { includeDirs = { "lib" } },
  })
  vim.cmd("edit " .. root .. "/main.bas")
  local buffer = vim.api.nvim_get_current_buf()
  local client = client_of(buffer)

  check(vim.wait(20000, function() return #vim.diagnostic.get(buffer) > 0 end, 20),
        "no diagnostics came")
  local diagnostics = vim.diagnostic.get(buffer)
  check(#diagnostics == 1, "one diagnostic expected, got " .. #diagnostics)
  check(diagnostics[1].lnum == 5 and diagnostics[1].col == 5 and diagnostics[1].end_col == 11,
        "the left-over label's range: " .. vim.inspect(diagnostics[1]))

  local uri = vim.uri_from_bufnr(buffer)
  local function request(method, params)
    local answers, err = vim.lsp.buf_request_sync(buffer, method, params, 10000)
    check(answers and answers[client] and not answers[client].error,
          method .. " failed: " .. vim.inspect(err or answers))
    return answers[client].result
  end
  local function at(line, character)
    return { textDocument = { uri = uri }, position = { line = line, character = character } }
  end

  local definition = request("textDocument/definition", at(3, 7))
  check(definition and vim.endswith(definition.uri, "/lib/util.bas")
          and definition.range.start.line == 1,
        "definition: " .. vim.inspect(definition))

  local hover = request("textDocument/hover", at(2, 7))
  check(hover and hover.contents.value == "VOLT = 5\n0001 PRINT 5",
        "hover: " .. vim.inspect(hover))

  local output = { command = "kestrel.output", arguments = { uri } }
  local before = request("workspace/executeCommand", output).output
  local params = at(0, 9)
  params.newName = "VOLTAGE"
  local edit = request("textDocument/rename", params)
  vim.lsp.util.apply_workspace_edit(edit, "utf-16")
  local lines = vim.api.nvim_buf_get_lines(buffer, 0, -1, false)
  check(lines[1] == "#define VOLTAGE EQU 5" and lines[3] == "PRINT VOLTAGE",
        "renamed text: " .. vim.inspect(lines))
  local after = request("workspace/executeCommand", output).output
  check(after == before, "the output changed with the rename:\n" .. before .. "\n" .. after)

  -- Another file of the project shares the server.
  vim.cmd("split " .. root .. "/lib/util.bas")
  check(client_of(vim.api.nvim_get_current_buf()) == client, "lib/util.bas got a second server")

  -- A numbered program, which is no Kestrel file, turned into one by the server of its folder.
  vim.cmd("edit " .. root .. "/numbered.bas")
  vim.cmd("KestrelUnnumber compact")
  local converted = vim.api.nvim_buf_get_lines(0, 0, -1, false)
  check(vim.deep_equal(converted, { "10", "[L10]", "PRINT 1", "GOTO [L10]" }),
        "converted: " .. vim.inspect(converted))

  vim.lsp.stop_client(client)
end

local ok, err = pcall(run)
if not ok then
  io.stderr:write("neovim_test: " .. tostring(err) .. "\n")
  vim.cmd("cquit 1")
end
vim.cmd("qall!")
